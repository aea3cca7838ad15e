#include "patch/journal_recovery.h"

#include "app/file_services.h"
#include "app/message_box.h"
#include "build/build_table.h"
#include "patch/slot_io.h"
#include "patch/write_journal.h"

namespace {

constexpr char kUnusableJournalMessage[] =
    "发现上次中断的修复留下的日志文件qm.journal，但它已损坏或不属于当前游戏版本，本软件没有使用它，也没有改动游戏文件。"
    "如果游戏无法正常运行，请验证游戏文件完整性或重新安装游戏，然后删除qm.journal。";
constexpr char kRollbackFailedMessage[] =
    "上次修复被意外中断，本次未能恢复游戏文件。请关闭游戏及其它可能占用游戏文件的软件后，再次开启本软件。";
constexpr char kJournalCode[] = "错误代码:0*0E000013";

void report(const Text& message) { showErrorBox(message, kJournalCode); }

bool belongsToActiveBuild(const JournalHeader& header) {
  return header.slotOffset == ActiveBuild.slotOffset && header.slotLength == ActiveBuild.slotLength &&
         header.assetSize == ActiveBuild.expectedAssetSize && fileSize(ActiveBuild.assetPath) == header.assetSize;
}

// Restores the slot from the open journal.
bool rollBack(FileNumber journal) {
  const FileNumber asset = openFile(ActiveBuild.assetPath, 3, 4);
  return asset > 0 && restoreSlotFromJournal(asset, journal);
}

}  // namespace

void RecoverInterruptedWriteBack() {
  deleteFile(kUnfinishedJournalFileName);
  const std::int32_t journalSize = fileSize(kJournalFileName);
  if (journalSize < 0) return;
  if (journalSize == 0) {
    deleteFile(kJournalFileName);
    return;
  }
  const FileNumber file = openFile(kJournalFileName, 1, 4);
  if (file <= 0) {
    report(kRollbackFailedMessage);
    return;
  }
  const std::optional<Journal> journal = parseJournal(readBytes(file, journalSize));
  if (!journal || !belongsToActiveBuild(journal->header)) {
    closeAllFiles();
    report(kUnusableJournalMessage);
    return;
  }
  const bool rolledBack = rollBack(file);
  closeAllFiles();
  if (!rolledBack) {
    report(kRollbackFailedMessage);
    return;
  }
  deleteFile(kJournalFileName);
}
