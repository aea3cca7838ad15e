// A small program around the application shell, driven by shell_test: each command exercises
// one way of talking to the user or of ending the program, and leaves marker files in the
// current directory so that the test can tell what ran.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/framework.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/runtime_error.h"

namespace {

void appendMarker(const char* name) {
  if (FILE* marker = std::fopen(name, "ab")) {
    std::fputs("1", marker);
    std::fclose(marker);
  }
}

void onExitHook() { appendMarker("exit-hook"); }

void doNothing() {}

void closeFromHandler() {
  closeMainWindowAndExit();
  appendMarker("after-close");
}

void runWindow(EventHandler onCreate, EventHandler onClick) {
  registerFormClasses();
  registerExitHook(onExitHook);
  createMainWindow(onCreate, onClick);
  runEventLoop();
  shutDownNormally();
}

// A plain top-level window, so that the test can see whether a box disables the program's windows.
void createPlainWindow() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"ShellHarnessWindow";
  RegisterClassW(&windowClass);
  CreateWindowExW(0, L"ShellHarnessWindow", L"shell harness", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  registerExitHook(onExitHook);
  if (command == L"message") {
    createPlainWindow();
    const unsigned flags = static_cast<unsigned>(std::wcstoul(argv[2], nullptr, 0));
    const int button = argc > 3 ? showMessage("消息正文", flags, Text("标题")) : showMessage("消息正文", flags);
    ExitProcess(static_cast<UINT>(button + 100));
  }
  if (command == L"runtime-error") {
    createPlainWindow();
    reportRuntimeError(static_cast<int>(std::wcstol(argv[2], nullptr, 10)));
  }
  if (command == L"out-of-memory") {
    const std::size_t size = (std::size_t{1} << 62) + 5;
    static_cast<void>(::operator new(size));
  }
  if (command == L"close-in-create") runWindow(closeFromHandler, doNothing);
  if (command == L"close-in-click") runWindow(doNothing, closeFromHandler);
  if (command == L"normal") shutDownNormally();
  return 2;
}
