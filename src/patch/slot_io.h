#pragma once
#include <cstdint>
#include <optional>

#include "app/file_services.h"
#include "patch/write_back_faults.h"

// The database slot of the open asset file, handled in pieces: its bytes come from another open
// file (the filled cache, or the original saved in the journal), never from a whole block in memory.

// The file primitives take offsets and counts as the low 32 bits.
inline std::int32_t low32(std::int64_t value) { return static_cast<std::int32_t>(value); }

// The checksum of slot length bytes of the file from offset; nothing unless all of them were read.
std::optional<std::uint64_t> checksumOfSlotLength(FileNumber file, std::int64_t offset, WriteBackStep step);

// Copies slot length bytes of the source from sourceOffset over the slot and flushes them to the
// disk. The step's fault is asked half-way, when half of the slot has been written.
bool copyIntoSlot(FileNumber asset, FileNumber source, std::int64_t sourceOffset, WriteBackStep step);

// Reads the slot back piece by piece and compares it with slot length bytes of the source.
bool slotMatches(FileNumber asset, FileNumber source, std::int64_t sourceOffset);

// Copies the original saved in the open journal back over the slot and verifies it.
bool restoreSlotFromJournal(FileNumber asset, FileNumber journal);
