#pragma once
#include <cstdint>
#include <initializer_list>

#include "app/text.h"

// Number of bytes before the first zero byte.
std::int32_t textLength(const Text& text);

// A one-byte text of the given code (0 to 255); code 0 gives the absent text.
Text charText(int code);

// The texts one after the other; never absent (all-empty arguments give the empty text).
Text concatTexts(std::initializer_list<Text> texts);

// Byte-wise comparison with unsigned bytes: -1, 0 or 1.
int compareTexts(const Text& a, const Text& b);

// The block's bytes up to its first zero byte.
Text bytesToText(const ByteBlock& block);
