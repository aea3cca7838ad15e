#include "patch/slot_io.h"

#include <algorithm>

#include "build/build_table.h"

bool writeSlot(FileNumber asset, const ByteBlock& bytes, WriteBackStep step) {
  return seekFromStart(asset, low32(ActiveBuild.slotOffset)) && !writeBackFault(step, asset, bytes) &&
         writeBytes(asset, bytes) && flushFile(asset);
}

bool slotHolds(FileNumber asset, const ByteBlock& expected) {
  constexpr std::size_t kPieceLength = 64 * 1024;
  if (!seekFromStart(asset, low32(ActiveBuild.slotOffset)) ||
      static_cast<std::int64_t>(expected.size()) != ActiveBuild.slotLength) {
    return false;
  }
  for (std::size_t at = 0; at < expected.size(); at += kPieceLength) {
    const std::size_t length = std::min(kPieceLength, expected.size() - at);
    const ByteBlock piece = readBytes(asset, static_cast<std::int32_t>(length));
    if (writeBackFault(WriteBackStep::verifySlot, asset, piece) || expected.compare(at, length, piece) != 0) {
      return false;
    }
  }
  return true;
}
