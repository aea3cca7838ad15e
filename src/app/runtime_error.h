#pragma once
#include <cstddef>

#include "app/text.h"

// The box text of a run-time error report: the code line when code is not 0, the message line
// when the message is not empty.
Text runtimeErrorText(int code, const Text& message);

// Shows the run-time error box for one of the program's own codes (1 or 3) and ends the program
// with exit code -1, without the exit hook.
[[noreturn]] void reportRuntimeError(int code);

// The framework's own reports: code 0 and a message.
[[noreturn]] void reportRuntimeError(const Text& message);

// Reports that size bytes of memory could not be obtained; allocates nothing on the heap.
[[noreturn]] void reportOutOfMemory(std::size_t size);
