#pragma once
#include <optional>

#include "app/text.h"

// Shows a modal message box with an OK button and no owner; task-modal unless flags ask for
// system-modal. The caption defaults to "信息：". Returns the closing button, 0 (OK) to 6 (No).
int showMessage(const Text& text, unsigned flags, const std::optional<Text>& caption = std::nullopt);
