#pragma once
#include <cstdint>

#include "app/file_services.h"
#include "patch/write_back_faults.h"

// Writing the database slot of the open asset file, and reading it back.

// The file primitives take offsets and counts as the low 32 bits.
inline std::int32_t low32(std::int64_t value) { return static_cast<std::int32_t>(value); }

// Writes bytes over the slot and flushes them to the disk.
bool writeSlot(FileNumber asset, const ByteBlock& bytes, WriteBackStep step);

// Reads the slot back piece by piece and compares it with what it should hold.
bool slotHolds(FileNumber asset, const ByteBlock& expected);
