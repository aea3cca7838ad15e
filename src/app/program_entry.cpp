#include "app/program_entry.h"

#include <windows.h>

#include <float.h>

#include <string>

#include "app/framework.h"
#include "app/main_window.h"
#include "app/runtime_error.h"
#include "build/detect_build.h"
#include "db/game_database.h"
#include "patch/patch_install.h"

namespace {

// Makes the folder that holds the executable the current directory.
void enterProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return;
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t separator = path.rfind(L'\\');
  if (separator == std::wstring::npos) return;
  const bool driveRoot = separator == 2 && path[1] == L':';
  SetCurrentDirectoryW(path.substr(0, driveRoot ? separator + 1 : separator).c_str());
}

}  // namespace

void CreateDatabaseObject() { gameDatabase = new SqliteDB(); }

void ExitHook() {
  delete gameDatabase;
  gameDatabase = nullptr;
}

int ProgramEntry() {
  enterProgramFolder();
  if (!registerFormClasses()) reportRuntimeError(Text("载入窗口模板数据段出错!"));
  _fpreset();
  CreateDatabaseObject();
  registerExitHook(ExitHook);
  if (!createMainWindow(DetectBuild, PatchInstall)) reportRuntimeError(Text("载入启动窗口失败"));
  runEventLoop();
  return 0;
}
