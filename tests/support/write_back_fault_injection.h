#pragma once
#include <functional>

#include "patch/write_back_faults.h"

// Test builds of the write-back: steps can be made to fail, each once (in-process tests), or, in the
// fault-injecting build of the exe, the process can be ended at a step through the environment
// variable QUESTFIX_CRASH_AT (the step's name: journalFlushed, writeSlot, slotWritten, ...).
// At writeSlot the crash comes after half of the new slot has been written.
namespace faultinjection {

// Makes the step fail the next time it is reached; steps given by several calls all fail.
void failAt(WriteBackStep step);

// Runs the action the next time the step is reached, before the step goes on or fails.
void runAt(WriteBackStep step, std::function<void()> action);
void clear();

}  // namespace faultinjection
