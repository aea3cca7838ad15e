#include "patch/write_back.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "app/file_services.h"
#include "app/message_box.h"
#include "build/build_table.h"
#include "db/game_database.h"
#include "patch/write_back_faults.h"
#include "patch/slot_io.h"
#include "patch/write_journal.h"

namespace {

constexpr char kTooLargeMessage[] = "修改冗余数据过多，请重新切换为修正RV版后，再次修改。";
constexpr char kTooLargeCode[] = "错误代码:0*0E000010";
constexpr char kLeftUnchangedMessage[] =
    "写入游戏文件失败，游戏文件保持原样，没有任何改动。请关闭可能占用游戏文件的其它软件后，再次开启本软件。";
constexpr char kRestoreFailedMessage[] =
    "写入游戏文件失败，且未能恢复原有数据。请使用游戏平台的“验证游戏文件完整性”功能修复，或重新安装游戏。";
constexpr char kWriteFailedCode[] = "错误代码:0*0E000012";

enum class CopyOutcome { copied, leftUnchanged, restoreFailed };

constexpr std::int64_t kFillPieceLength = 64 * 1024;

// Appends zero bytes to the cache file, a piece at a time; true when it then has exactly the slot length.
bool fillCache(std::int64_t difference) {
  const FileNumber cache = openFile(kCacheFileName, 3, 4);
  bool filled = cache > 0 && seekToEnd(cache) && !writeBackFault(WriteBackStep::fillCache, cache);
  const ByteBlock zeros = zeroBytes(low32(std::min<std::int64_t>(difference, kFillPieceLength)));
  for (std::int64_t left = difference; filled && left > 0; left -= kFillPieceLength) {
    filled = writeBytes(cache, left >= kFillPieceLength ? zeros : zeros.substr(0, static_cast<std::size_t>(left)));
  }
  closeAllFiles();
  return filled && fileSize(kCacheFileName) == ActiveBuild.slotLength;
}

// Saves the original slot in the journal, behind a header with the checksums of the original and of
// the filled cache: written and flushed under a temporary name, then renamed.
bool saveJournal(FileNumber cache, FileNumber asset) {
  const std::optional<std::uint64_t> image = checksumOfSlotLength(cache, 0, WriteBackStep::readImage);
  const std::optional<std::uint64_t> original =
      image ? checksumOfSlotLength(asset, ActiveBuild.slotOffset, WriteBackStep::readOriginal) : std::nullopt;
  if (!original) return false;
  const JournalHeader header{ActiveBuild.slotOffset, ActiveBuild.slotLength, ActiveBuild.expectedAssetSize,
                             *original, *image};
  return !writeBackFault(WriteBackStep::writeJournal) && seekFromStart(asset, low32(ActiveBuild.slotOffset)) &&
         copyToWholeFileDurably(kUnfinishedJournalFileName, journalHeader(header), asset,
                                low32(ActiveBuild.slotLength)) &&
         renameFile(kUnfinishedJournalFileName, kJournalFileName);
}

// Restores the slot from the journal. Others may go on reading the journal (a virus scanner
// looks at a new file), but none may write it meanwhile.
bool restoreFromJournal(FileNumber asset) {
  const FileNumber journal = openFile(kJournalFileName, 1, 3);
  return journal > 0 && restoreSlotFromJournal(asset, journal);
}

// A journal that cannot be deleted is emptied: an empty journal is never rolled back.
void retireJournal() {
  if (!deleteFile(kJournalFileName)) writeWholeFile(kJournalFileName, ByteBlock());
}

CopyOutcome copyCacheOverSlot() {
  const FileNumber cache = openFile(kCacheFileName, 3, 4);
  const FileNumber asset = openFile(ActiveBuild.assetPath, 3, 4);
  const bool journalled = cache > 0 && asset > 0 && saveJournal(cache, asset);
  if (!journalled || writeBackFault(WriteBackStep::journalFlushed)) {
    closeAllFiles();
    deleteFile(kUnfinishedJournalFileName);
    if (journalled) deleteFile(kJournalFileName);
    return CopyOutcome::leftUnchanged;
  }
  CopyOutcome outcome = CopyOutcome::copied;
  if (!copyIntoSlot(asset, cache, 0, WriteBackStep::writeSlot) || !slotMatches(asset, cache, 0) ||
      writeBackFault(WriteBackStep::slotWritten, asset)) {
    outcome = restoreFromJournal(asset) ? CopyOutcome::leftUnchanged : CopyOutcome::restoreFailed;
  }
  closeAllFiles();
  if (outcome != CopyOutcome::restoreFailed) retireJournal();
  return outcome;
}

}  // namespace

void WriteBack() {
  const std::int32_t size = fileSize(kCacheFileName);
  const auto difference =
      static_cast<std::int64_t>(static_cast<double>(ActiveBuild.slotLength) - static_cast<double>(size));
  if (difference < 0) {
    showErrorBox(kTooLargeMessage, kTooLargeCode);
    closeAllFiles();
    return;
  }
  if (!fillCache(difference)) {
    showErrorBox(kLeftUnchangedMessage, kWriteFailedCode);
    return;
  }
  switch (copyCacheOverSlot()) {
    case CopyOutcome::copied:
      showMessage("修正成功！", kNoIcon, Text("恭喜"));
      break;
    case CopyOutcome::leftUnchanged:
      showErrorBox(kLeftUnchangedMessage, kWriteFailedCode);
      break;
    case CopyOutcome::restoreFailed:
      showErrorBox(kRestoreFailedMessage, kWriteFailedCode);
      break;
  }
}
