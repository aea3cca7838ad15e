#include "app/code_page.h"

#include <windows.h>

#include <climits>

namespace {

constexpr UINT gbkCodePage = 936;

// A GBK byte gives at most one UTF-16 unit, and a unit at most two GBK bytes, so one call with a
// buffer of that size converts any text.
constexpr std::size_t kMaxGbkBytesPerUnit = 2;

}  // namespace

std::optional<std::wstring> widenGbk(const Text& text) {
  if (text.empty()) return std::wstring();
  if (text.size() > INT_MAX) return std::nullopt;
  const int byteCount = static_cast<int>(text.size());
  std::wstring wide(text.size(), L'\0');
  const int wideCount =
      MultiByteToWideChar(gbkCodePage, MB_ERR_INVALID_CHARS, text.data(), byteCount, wide.data(), byteCount);
  if (wideCount <= 0) return std::nullopt;
  wide.resize(static_cast<size_t>(wideCount));
  return wide;
}

// WC_NO_BEST_FIT_CHARS stops look-alike substitutions (É to é); any character still without a
// GBK form then comes out as the default character, which usedDefault reports.
std::optional<Text> narrowGbk(const std::wstring& wide) {
  if (wide.empty()) return Text();
  if (wide.size() > INT_MAX / kMaxGbkBytesPerUnit) return std::nullopt;
  const int wideCount = static_cast<int>(wide.size());
  Text text(wide.size() * kMaxGbkBytesPerUnit, '\0');
  BOOL usedDefault = FALSE;
  const int byteCount = WideCharToMultiByte(gbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideCount, text.data(),
                                            static_cast<int>(text.size()), nullptr, &usedDefault);
  if (byteCount <= 0 || usedDefault) return std::nullopt;
  text.resize(static_cast<size_t>(byteCount));
  return text;
}
