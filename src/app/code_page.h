#pragma once
#include <optional>
#include <string>

#include "app/text.h"

// GBK text to UTF-16 through code page 936; nothing when a byte sequence is not valid GBK.
std::optional<std::wstring> widenGbk(const Text& text);

// UTF-16 to GBK text through code page 936; nothing when a character has no exact GBK form.
std::optional<Text> narrowGbk(const std::wstring& wide);
