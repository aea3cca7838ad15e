#pragma once
#include <optional>
#include <string>

#include "app/text.h"

// The conversions between the program's GBK texts (code page 936) and the UTF-8 that SQLite takes
// and gives. Both read their argument up to its first zero byte; an empty argument gives the empty
// text, and nothing means that the argument cannot be converted.

// GBK to UTF-8, each UTF-16 unit encoded by itself in one to three bytes. Nothing for an invalid
// or incomplete GBK sequence.
std::optional<std::string> ansiToUtf8(const Text& text);

// UTF-8 of one- to three-byte sequences to GBK. Nothing for a malformed or cut-off sequence, a
// lead byte of 0xF0 or above, or a character without an exact GBK form. Overlong forms and
// encoded surrogate halves are decoded as they stand; a decoded zero ends the text.
std::optional<Text> utf8ToAnsi(const std::string& text);
