#include "end_to_end_bench.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <optional>

#include "bench_clock.h"
#include "game_fixture.h"
#include "test_files.h"
#include "ui_driver.h"

namespace bench {

namespace {

constexpr wchar_t kQuestFixTitle[] = L"《Quillmarsh》冒险无任务BUG修复补丁";
constexpr wchar_t kMinimalTitle[] = L"QuestFix bench minimal window";
constexpr wchar_t kSuccessText[] = L"修正成功！";
constexpr wchar_t kFixedStatus[] = L"已成功修正";
constexpr DWORD kWaitMs = 8000;
constexpr DWORD kPaintSettleMs = 300;
constexpr int kButtonLeft = 239, kButtonTop = 36;
constexpr int kStatusLeft = 147, kStatusTop = 34;

struct Started {
  uidriver::Process process;
  HWND window;
  double elapsedMs;
};

// From process creation to the titled window shown.
std::optional<Started> startUntilShown(const std::wstring& exe, const std::wstring& folder, const wchar_t* title) {
  const double start = nowMs();
  std::optional<uidriver::Process> process = uidriver::Process::start(exe, folder);
  if (!process) return std::nullopt;
  HWND window = process->waitForMainWindow(title, kWaitMs);
  if (!window || !process->waitVisible(window, kWaitMs)) return std::nullopt;
  const double elapsed = nowMs() - start;
  return Started{std::move(*process), window, elapsed};
}

bool closeAndWait(Started& started) {
  PostMessageW(started.window, WM_CLOSE, 0, 0);
  if (started.process.waitForExit(kWaitMs)) return true;
  started.process.kill();
  return false;
}

HWND controlAt(HWND window, int left, int top) {
  for (const uidriver::ControlInfo& control : uidriver::readWindow(window).controls) {
    if (control.rect.left == left && control.rect.top == top) return control.hwnd;
  }
  return nullptr;
}

double peakWorkingSetMiB(DWORD pid) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return 0;
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  const bool read = GetProcessMemoryInfo(process, &counters, sizeof counters) != FALSE;
  CloseHandle(process);
  return read ? static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0) : 0;
}

bool restoreSlot(const std::wstring& folder, int build, const std::string& slot) {
  const HANDLE asset = CreateFileW(fixture::assetPath(folder).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  if (asset == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER offset;
  offset.QuadPart = static_cast<LONGLONG>(fixture::buildFacts(build).slotOffset);
  DWORD written = 0;
  const bool done = SetFilePointerEx(asset, offset, nullptr, FILE_BEGIN) &&
                    WriteFile(asset, slot.data(), static_cast<DWORD>(slot.size()), &written, nullptr) &&
                    written == slot.size();
  return CloseHandle(asset) && done;
}

// One start-up of a comparison program to its window shown, and its peak working set once it has had
// the time to paint its window; false when it did not start and close.
bool startComparison(const std::wstring& exe, const std::wstring& folder, const wchar_t* title,
                     std::vector<double>& startups, double& peakMiB) {
  std::optional<Started> started = startUntilShown(exe, folder, title);
  if (!started) return false;
  Sleep(kPaintSettleMs);
  peakMiB = std::max(peakMiB, peakWorkingSetMiB(started->process.pid()));
  if (!closeAndWait(*started)) return false;
  startups.push_back(started->elapsedMs);
  return true;
}

// Click on the install button to the status label showing the fix, the success box answered.
std::optional<double> clickToRefresh(Started& started) {
  HWND button = controlAt(started.window, kButtonLeft, kButtonTop);
  HWND status = controlAt(started.window, kStatusLeft, kStatusTop);
  if (!button || !status) return std::nullopt;
  const double start = nowMs();
  if (!uidriver::clickButton(button)) return std::nullopt;
  const std::optional<uidriver::MessageBoxInfo> box = started.process.waitForMessageBox(kWaitMs);
  if (!box || box->text != kSuccessText || !started.process.pressOk(*box, kWaitMs)) return std::nullopt;
  if (!started.process.waitUntil([&] { return uidriver::readText(status) == kFixedStatus; }, kWaitMs)) {
    return std::nullopt;
  }
  return nowMs() - start;
}

}  // namespace

EndToEndTimes measureEndToEnd(const std::wstring& folder, int build, const std::string& originalSlot, int runs) {
  EndToEndTimes times;
  const std::wstring questFix = folder + L"\\QuestFix.exe";
  const std::wstring minimal = testfiles::builtProgram(L"minimal_window.exe");
  const std::wstring windowOnly = testfiles::builtProgram(L"window_only.exe");
  if (!CopyFileW(testfiles::builtProgram(L"QuestFix.exe").c_str(), questFix.c_str(), FALSE)) {
    times.failure = "QuestFix.exe not copied into the game folder";
    return times;
  }
  for (int run = 0; run < runs && times.failure.empty(); ++run) {
    std::optional<Started> tool = startUntilShown(questFix, folder, kQuestFixTitle);
    if (!tool || !closeAndWait(*tool)) {
      times.failure = "QuestFix.exe did not start and close";
      break;
    }
    times.startup.push_back(tool->elapsedMs);
    const bool comparedDone = startComparison(minimal, folder, kMinimalTitle, times.minimalStartup,
                                              times.minimalPeakWorkingSetMiB) &&
                              startComparison(windowOnly, folder, kQuestFixTitle, times.windowOnlyStartup,
                                              times.windowOnlyPeakWorkingSetMiB);
    if (!comparedDone) times.failure = "a comparison program did not start and close";
  }
  for (int run = 0; run < runs && times.failure.empty(); ++run) {
    std::optional<Started> tool;
    if (restoreSlot(folder, build, originalSlot)) tool = startUntilShown(questFix, folder, kQuestFixTitle);
    const std::optional<double> clicked = tool ? clickToRefresh(*tool) : std::nullopt;
    if (!clicked) {
      times.failure = "click on the install button did not end in the fixed state";
      if (tool) tool->process.kill();
      break;
    }
    times.clickToRefresh.push_back(*clicked);
    const double peak = peakWorkingSetMiB(tool->process.pid());
    if (peak > times.peakWorkingSetMiB) times.peakWorkingSetMiB = peak;
    closeAndWait(*tool);
  }
  restoreSlot(folder, build, originalSlot);
  return times;
}

}  // namespace bench
