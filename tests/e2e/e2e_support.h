#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "game_fixture.h"
#include "test_files.h"
#include "ui_driver.h"

namespace e2e {

constexpr wchar_t kWindowTitle[] = L"《Quillmarsh》冒险无任务BUG修复补丁";
constexpr DWORD kWaitMs = 8000;

// A game folder made by the fixture with QuestFix.exe copied into it.
class GameFolder {
 public:
  explicit GameFolder(const fixture::GameFolderOptions& options = {});
  const std::wstring& path() const { return folder_.path(); }
  std::wstring file(const std::wstring& name) const { return folder_.file(name); }
  std::wstring exe() const { return file(L"QuestFix.exe"); }
  const fixture::GameFolderOptions& options() const { return options_; }

 private:
  testfiles::TempFolder folder_;
  fixture::GameFolderOptions options_;
};

// Copies the built QuestFix.exe into folder.
bool copyProgramInto(const std::wstring& folder);

// The control of the main window with this text's role, by its rectangle's left/top.
const uidriver::ControlInfo* controlAt(const uidriver::WindowInfo& window, int left, int top);

// Text of the six labels and the button, as they are named in the form.
struct Shown {
  std::wstring distribution;  // 标签7
  std::wstring version;       // 标签3
  std::wstring edition;       // 标签6
  std::wstring status;        // 标签1
  std::wstring button;        // 按钮1
  bool buttonEnabled = false;
};
Shown shownBy(const uidriver::WindowInfo& window);

// How many pixels of the label, as the screen shows it, have exactly this colour. A program paints
// its window a while after it is shown, and later still on a loaded machine: the screen is looked
// at again until more than 10 pixels have the colour or kWaitMs have passed.
int pixelsOfColour(HWND label, COLORREF colour);

// Starts the exe and waits for its main window to become visible.
struct Running {
  uidriver::Process process;
  HWND window = nullptr;
};
std::optional<Running> startAndWaitVisible(const std::wstring& exe, const std::wstring& currentDir = L"");

}  // namespace e2e
