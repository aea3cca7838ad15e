#pragma once
#include "app/file_services.h"

// The steps of the write-back at which a test build can make the step fail or end the process.
enum class WriteBackStep {
  fillCache,
  readImage,
  readOriginal,
  writeJournal,
  journalFlushed,
  writeSlot,
  verifySlot,
  slotWritten,
  restoreSlot,
};

// Asked at each step; true makes the step fail as if the system had failed it. file is the step's
// file, where it has one. The program's own build never injects anything.
bool writeBackFault(WriteBackStep step, FileNumber file = 0);
