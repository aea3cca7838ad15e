#include "db/status_probe.h"

#include <cstdint>

#include "app/file_services.h"
#include "app/framework.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/text_services.h"
#include "build/build_table.h"
#include "db/game_database.h"
#include "db/text_grid.h"

namespace {

constexpr std::int32_t kEditionRow = 2689;
constexpr std::int32_t kStatusRow = 4497;
constexpr std::int32_t kTextColumn = 2;
constexpr std::int32_t kOfficialEditionMinLength = 9;
constexpr COLORREF kRed = 255;
constexpr COLORREF kGreen = 32768;

constexpr char kAssetNotOpenedMessage[] =
    "请将该软件放置在游戏路径下，且关闭可能占用进程的其它软件后，再次开启本软件。";
constexpr char kAssetNotOpenedCode[] = "错误代码:0*0E000015";
constexpr char kCacheNotWrittenMessage[] =
    "缓存文件正在被占用，请关闭杀毒软件或者其它读写进程，再次开启本软件。";
constexpr char kCacheNotWrittenCode[] = "错误代码:0*0E000014";

void reportAndClose(const Text& message, const Text& codeLine) {
  setDisabled(Control::按钮1, false);
  showErrorBox(message, codeLine);
  closeMainWindowAndExit();
}

void showEdition(const TextGrid& grid) {
  const Text& editionCell = gridCell(grid, kEditionRow, kTextColumn);
  if (textLength(editionCell) >= kOfficialEditionMinLength) {
    correctedEdition = 0;
    setCaption(Control::标签6, "官方版");
  } else {
    correctedEdition = 1;
    setCaption(Control::标签6, "修正版");
  }
}

void showFixState(const TextGrid& grid) {
  const Text& statusCell = gridCell(grid, kStatusRow, kTextColumn);
  if (compareTexts(statusCell, "0") == 0) {
    setCaption(Control::标签1, "未修正");
    setCaption(Control::按钮1, "安装补丁");
    setTextColour(Control::标签1, kRed);
    setDisabled(Control::按钮1, false);
  } else {
    setCaption(Control::标签1, "已成功修正");
    setCaption(Control::按钮1, "已修正");
    setTextColour(Control::标签1, kGreen);
    setDisabled(Control::按钮1, true);
  }
}

// Deletes SQLite's journal files of an earlier cache file; true when none is left.
bool removeCacheJournals() {
  bool removed = true;
  for (const char* name : kCacheJournalFileNames) {
    deleteFile(name);
    removed = removed && fileSize(name) < 0;
  }
  return removed;
}

// Copies the database slot of the open asset file into the cache file.
bool extractSlot(FileNumber asset) {
  seekFromStart(asset, static_cast<std::int32_t>(ActiveBuild.slotOffset));
  return copyToWholeFile(asset, static_cast<std::int32_t>(ActiveBuild.slotLength), kCacheFileName);
}

}  // namespace

void StatusProbe() {
  TextGrid statusGrid;
  bool cacheWritten = false;
  deleteFile(kCacheFileName);
  const bool journalsRemoved = removeCacheJournals();
  const FileNumber fileNumber = openFile(ActiveBuild.assetPath, 3, 4);
  if (fileNumber > 0) {
    cacheWritten = journalsRemoved && extractSlot(fileNumber);
    closeAllFiles();
    gameDatabase->openDatabase(kCacheFileName);
    statusGrid = gameDatabase->readTable("translation", false);
    showEdition(statusGrid);
    showFixState(statusGrid);
    gameDatabase->closeDatabase();
  }
  if (fileNumber <= 0) {
    reportAndClose(kAssetNotOpenedMessage, kAssetNotOpenedCode);
  } else if (!cacheWritten) {
    reportAndClose(kCacheNotWrittenMessage, kCacheNotWrittenCode);
  }
}
