#pragma once
#include <optional>

#include "app/text.h"

// Message box flags that the program passes.
constexpr unsigned kNoIcon = 0x00;
constexpr unsigned kErrorIcon = 0x10;

// Shows a modal message box with an OK button and no owner; task-modal unless flags ask for
// system-modal. The caption defaults to "信息：". Returns the closing button, 0 (OK) to 6 (No).
int showMessage(const Text& text, unsigned flags, const std::optional<Text>& caption = std::nullopt);

// Shows the error box: caption "ERROR", the error icon, and as text the message, an empty line,
// then the error-code line.
void showErrorBox(const Text& message, const Text& codeLine);
