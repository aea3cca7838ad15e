#include "patch/slot_io.h"

#include <algorithm>

#include "build/build_table.h"
#include "patch/write_journal.h"

namespace {

constexpr std::int64_t kPieceLength = 64 * 1024;

std::int32_t pieceLengthAt(std::int64_t at) { return low32(std::min(kPieceLength, ActiveBuild.slotLength - at)); }

}  // namespace

std::optional<std::uint64_t> checksumOfSlotLength(FileNumber file, std::int64_t offset, WriteBackStep step) {
  if (!seekFromStart(file, low32(offset)) || writeBackFault(step, file)) return std::nullopt;
  std::uint64_t checksum = kChecksumStart;
  ByteBlock piece;
  for (std::int64_t at = 0; at < ActiveBuild.slotLength; at += kPieceLength) {
    if (!readExactly(file, pieceLengthAt(at), piece)) return std::nullopt;
    checksum = checksumOf(piece, checksum);
  }
  return checksum;
}

bool copyIntoSlot(FileNumber asset, FileNumber source, std::int64_t sourceOffset, WriteBackStep step) {
  if (!seekFromStart(asset, low32(ActiveBuild.slotOffset)) || !seekFromStart(source, low32(sourceOffset))) {
    return false;
  }
  const std::int64_t half = ActiveBuild.slotLength / 2;
  ByteBlock piece;
  for (std::int64_t at = 0; at < ActiveBuild.slotLength;) {
    const std::int32_t length = low32(std::min<std::int64_t>(pieceLengthAt(at), at < half ? half - at : kPieceLength));
    if (!readExactly(source, length, piece) || !writeBytes(asset, piece)) return false;
    at += length;
    if (at == half && writeBackFault(step, asset)) return false;
  }
  return flushFile(asset);
}

bool slotMatches(FileNumber asset, FileNumber source, std::int64_t sourceOffset) {
  if (!seekFromStart(asset, low32(ActiveBuild.slotOffset)) || !seekFromStart(source, low32(sourceOffset))) {
    return false;
  }
  ByteBlock written;
  ByteBlock expected;
  for (std::int64_t at = 0; at < ActiveBuild.slotLength; at += kPieceLength) {
    const std::int32_t length = pieceLengthAt(at);
    if (!readExactly(asset, length, written) || writeBackFault(WriteBackStep::verifySlot, asset) ||
        !readExactly(source, length, expected) || written != expected) {
      return false;
    }
  }
  return true;
}

bool restoreSlotFromJournal(FileNumber asset, FileNumber journal) {
  return copyIntoSlot(asset, journal, kJournalHeaderSize, WriteBackStep::restoreSlot) &&
         slotMatches(asset, journal, kJournalHeaderSize);
}
