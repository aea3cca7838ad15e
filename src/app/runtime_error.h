#pragma once
#include "app/text.h"

// Shows the run-time error box for one of the program's own codes (1 or 3) and ends the program
// with exit code -1, without the exit hook.
[[noreturn]] void reportRuntimeError(int code);

// The framework's own reports: code 0 and a message.
[[noreturn]] void reportRuntimeError(const Text& message);
