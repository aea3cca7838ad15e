#include "db/text_grid.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

TextGrid twoByThreeGrid() {
  TextGrid grid;
  grid.dimensionCount = 2;
  grid.sizes = {2, 3};
  grid.cells = {"r0c0", "r0c1", "", "r1c0", "r1c1", "r1c2"};
  return grid;
}

TEST(TextGrid, defaultIsTheEmptyGrid) {
  const TextGrid grid;
  EXPECT_EQ(grid.dimensionCount, 1);
  EXPECT_EQ(grid.sizes, std::vector<std::int32_t>{0});
  EXPECT_TRUE(grid.cells.empty());
}

TEST(TextGrid, gridCellIndexesRowMajorWithRowsFirst) {
  const TextGrid grid = twoByThreeGrid();
  for (std::int32_t row = 0; row < 2; ++row) {
    for (std::int32_t column = 0; column < 3; ++column) {
      SCOPED_TRACE(testing::Message() << row << "," << column);
      const Text& cell = gridCell(grid, row, column);
      EXPECT_TRUE(&cell == &grid.cells[static_cast<size_t>(row * 3 + column)]);
      const Text expected = "r" + std::to_string(row) + "c" + std::to_string(column);
      EXPECT_EQ(cell, row == 0 && column == 2 ? "" : expected);
    }
  }
}

std::vector<DWORD> childProcesses() {
  std::vector<DWORD> children;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return children;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == GetCurrentProcessId()) children.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return children;
}

bool isChildOfThisProcess(DWORD processId) {
  const std::vector<DWORD> children = childProcesses();
  return std::find(children.begin(), children.end(), processId) != children.end();
}

// Answers the run-time error box that a child process (a death test's) shows, and keeps the
// box's text. A child still running after a minute is ended with an exit code of its own, so that
// a box that is never answered fails the test instead of hanging it.
class ErrorBoxAnswerer {
 public:
  ErrorBoxAnswerer() : thread_([this] { answerUntilStopped(); }) {}
  ~ErrorBoxAnswerer() { stop(); }
  ErrorBoxAnswerer(const ErrorBoxAnswerer&) = delete;
  ErrorBoxAnswerer& operator=(const ErrorBoxAnswerer&) = delete;

  // Stops answering and gives the text of the last box answered.
  std::wstring stopAndTakeText() {
    stop();
    return lastText_;
  }

 private:
  void stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  void answerUntilStopped() {
    const ULONGLONG deadline = GetTickCount64() + 60'000;
    while (!stop_) {
      EnumWindows(&answerIfErrorBox, reinterpret_cast<LPARAM>(this));
      if (GetTickCount64() > deadline) endChildProcesses();
      Sleep(10);
    }
  }

  static void endChildProcesses() {
    for (const DWORD child : childProcesses()) {
      if (const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, child)) {
        TerminateProcess(process, kGaveUpExitCode);
        CloseHandle(process);
      }
    }
  }

  // A message box is shown once its text is in place.
  static BOOL CALLBACK answerIfErrorBox(HWND window, LPARAM self) {
    wchar_t className[16] = {};
    wchar_t caption[16] = {};
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, caption, 16);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (!IsWindowVisible(window) || std::wstring(className) != L"#32770" ||
        std::wstring(caption) != L"错误" || !isChildOfThisProcess(processId)) {
      return TRUE;
    }
    wchar_t text[512] = {};
    if (GetDlgItemTextW(window, 0xFFFF, text, 512) == 0) return TRUE;
    reinterpret_cast<ErrorBoxAnswerer*>(self)->lastText_ = text;
    PostMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    return TRUE;
  }

  static constexpr UINT kGaveUpExitCode = 0xDEAD;

  std::atomic<bool> stop_{false};
  std::wstring lastText_;
  std::thread thread_;
};

TEST(TextGrid, gridCellEndsTheProgramWithRuntimeErrorThreeOrOne) {
  TextGrid oneDimensional;
  oneDimensional.sizes = {2};
  oneDimensional.cells = {"a", "b"};
  const struct {
    TextGrid grid;
    std::int32_t row, column;
    const wchar_t* codeLine;
  } cases[] = {
      {TextGrid(), 0, 0, L"错误代码：3"},      {oneDimensional, 0, 0, L"错误代码：3"},
      {twoByThreeGrid(), 2, 0, L"错误代码：1"}, {twoByThreeGrid(), -1, 0, L"错误代码：1"},
      {twoByThreeGrid(), 0, 3, L"错误代码：1"}, {twoByThreeGrid(), 1, -1, L"错误代码：1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.row << "," << c.column);
    ErrorBoxAnswerer answerer;
    EXPECT_EXIT(gridCell(c.grid, c.row, c.column), testing::ExitedWithCode(-1), "");
    EXPECT_NE(answerer.stopAndTakeText().find(c.codeLine), std::wstring::npos);
  }
}

}  // namespace
