#include "app/framework.h"

#include <windows.h>

#include "app/file_services.h"
#include "app/label.h"
#include "app/main_window.h"

namespace {

ExitHookFunction exitHook = nullptr;
bool eventLoopStarted = false;

bool anyProgramWindowExists() { return mainWindowHandle() != nullptr; }

// Esc closes the window whichever control has the focus; with no focus at all it arrives as a
// system key.
bool isCloseKey(const MSG& message) {
  if (message.wParam != VK_ESCAPE) return false;
  if (message.message == WM_KEYDOWN) return true;
  return message.message == WM_SYSKEYDOWN && (HIWORD(message.lParam) & KF_ALTDOWN) == 0;
}

[[noreturn]] void endProcess(UINT exitCode) {
  closeAllFiles();
  releaseLabelFont();
  ExitProcess(exitCode);
}

}  // namespace

void registerExitHook(ExitHookFunction hook) { exitHook = hook; }

void runEventLoop() {
  eventLoopStarted = true;
  if (!anyProgramWindowExists()) return;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (isCloseKey(message) && mainWindowHandle()) {
      SendMessageW(mainWindowHandle(), WM_SYSCOMMAND, SC_CLOSE, 0);
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void noteWindowDestroyed() {
  if (!anyProgramWindowExists() && eventLoopStarted) PostQuitMessage(0);
}

void closeMainWindowAndExit() {
  HWND window = mainWindowHandle();
  if (!window) return;
  PostMessageW(window, kDestroyRequest, 0, 0);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message != WM_QUIT) {
    PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void shutDownNormally() {
  ExitHookFunction hook = exitHook;
  exitHook = nullptr;
  if (hook) hook();
  endProcess(0);
}

void shutDownAfterRuntimeError() {
  exitHook = nullptr;
  endProcess(static_cast<UINT>(-1));
}
