#include "build/detect_build.h"

#include "app/file_services.h"
#include "app/framework.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "build/build_table.h"
#include "db/status_probe.h"
#include "patch/journal_recovery.h"

namespace {

constexpr char kUnknownBuildMessage[] =
    "读取失败，请确保您当前游戏版本为0.750版本以上，或者游戏处于关闭状态，且本工具放置于游戏路径下。";

void loadRecord(const BuildRecord& record) {
  ActiveBuild.slotOffset = record.slotOffset;
  ActiveBuild.expectedAssetSize = record.expectedAssetSize;
  ActiveBuild.slotLength = record.slotLength;
  setCaption(Control::标签7, record.distributionText);
  setCaption(Control::标签3, record.versionText);
}

}  // namespace

void DetectBuild() {
  ActiveBuild.assetPath = kAssetPath;
  loadRecord(BuildTable[0]);
  const std::int64_t size = fileSize(ActiveBuild.assetPath);
  for (std::size_t next = 1; next < BuildTable.size(); ++next) {
    if (size != ActiveBuild.expectedAssetSize) loadRecord(BuildTable[next]);
  }
  if (size == ActiveBuild.expectedAssetSize) {
    RecoverInterruptedWriteBack();
    StatusProbe();
    return;
  }
  showMessage(kUnknownBuildMessage, kErrorIcon, Text("ERROR"));
  closeMainWindowAndExit();
}
