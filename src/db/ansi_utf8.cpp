#include "db/ansi_utf8.h"

#include "app/code_page.h"
#include "app/text_services.h"

namespace {

void appendUtf8(std::string& out, wchar_t unit) {
  const unsigned value = static_cast<unsigned>(unit);
  if (value < 0x80) {
    out += static_cast<char>(value);
  } else if (value < 0x800) {
    out += static_cast<char>(0xC0 | (value >> 6));
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (value >> 12));
    out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  }
}

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one- to three-byte sequences into UTF-16 units; nothing for any other byte pattern.
std::optional<std::wstring> decodeUtf8(const std::string& text) {
  std::wstring units;
  std::size_t at = 0;
  while (at < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t continuationCount;
    unsigned value;
    if (lead < 0x80) {
      continuationCount = 0;
      value = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      continuationCount = 1;
      value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      continuationCount = 2;
      value = lead & 0x0F;
    } else {
      return std::nullopt;
    }
    if (text.size() - at - 1 < continuationCount) return std::nullopt;
    for (std::size_t i = 1; i <= continuationCount; ++i) {
      const unsigned char byte = static_cast<unsigned char>(text[at + i]);
      if (!isContinuation(byte)) return std::nullopt;
      value = (value << 6) | (byte & 0x3F);
    }
    units += static_cast<wchar_t>(value);
    at += 1 + continuationCount;
  }
  return units;
}

// ASCII is the same in GBK and in UTF-8, so such a text needs no conversion.
bool isAscii(const std::string& text) {
  for (const char byte : text) {
    if (static_cast<unsigned char>(byte) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> ansiToUtf8(const Text& text) {
  const Text bytes = bytesToText(text);
  if (isAscii(bytes)) return bytes;
  const std::optional<std::wstring> wide = widenGbk(bytes);
  if (!wide) return std::nullopt;
  std::string utf8;
  utf8.reserve(wide->size() * 3);
  for (const wchar_t unit : *wide) appendUtf8(utf8, unit);
  return utf8;
}

std::optional<Text> utf8ToAnsi(const std::string& text) {
  const std::string bytes = bytesToText(text);
  if (isAscii(bytes)) return bytes;
  const std::optional<std::wstring> wide = decodeUtf8(bytes);
  if (!wide) return std::nullopt;
  return narrowGbk(wide->substr(0, wide->find(L'\0')));
}
