#include "patch/patch_install.h"

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/text_services.h"
#include "db/game_database.h"
#include "db/status_probe.h"
#include "patch/patch_scripts.h"
#include "patch/write_back.h"

namespace {

constexpr char kCacheNotOpenedMessage[] = "打开缓存文件失败，请确认占用线程的其它软件已关闭！";
constexpr char kScriptFailedMessage[] = "补丁无法应用到当前游戏的数据上，游戏文件没有任何改动。";
constexpr char kScriptFailedCode[] = "错误代码:0*0E000011";

bool runScript(const ByteBlock& script) {
  const Text scriptText = bytesToText(script);
  return gameDatabase->executeSql(scriptText);
}

// Runs the scripts that the installed edition needs, official first; false when a statement failed.
bool applyScripts() {
  if (correctedEdition == 0 && !runScript(OfficialEditionScript)) return false;
  return runScript(CommonFixScript);
}

}  // namespace

void PatchInstall() {
  setDisabled(Control::按钮1, true);
  if (!gameDatabase->openDatabase(kCacheFileName)) {
    showMessage(kCacheNotOpenedMessage, kNoIcon);
    setDisabled(Control::按钮1, false);
    return;
  }
  const bool applied = applyScripts();
  if (applied) gameDatabase->compactDatabase();
  gameDatabase->closeDatabase();
  if (applied) {
    WriteBack();
  } else {
    showErrorBox(kScriptFailedMessage, kScriptFailedCode);
  }
  StatusProbe();
}
