// QuestFix's own window, created and shown as the tool creates and shows it (same resources, form,
// fonts and event loop), with nothing run in its creation event: no build detection, no probe.
// Set beside the minimal window, it shows how much of the tool's start-up is the window itself.
#include <windows.h>

#include "app/framework.h"
#include "app/main_window.h"

namespace {

void doNothing() {}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!registerFormClasses() || !createMainWindow(doNothing, doNothing)) return 1;
  runEventLoop();
  return 0;
}
