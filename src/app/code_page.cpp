#include "app/code_page.h"

#include <windows.h>

#include <climits>

namespace {

constexpr UINT gbkCodePage = 936;

}  // namespace

std::optional<std::wstring> widenGbk(const Text& text) {
  if (text.empty()) return std::wstring();
  if (text.size() > INT_MAX) return std::nullopt;
  const int byteCount = static_cast<int>(text.size());
  const int wideCount =
      MultiByteToWideChar(gbkCodePage, MB_ERR_INVALID_CHARS, text.data(), byteCount, nullptr, 0);
  if (wideCount <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(wideCount), L'\0');
  if (MultiByteToWideChar(gbkCodePage, MB_ERR_INVALID_CHARS, text.data(), byteCount, wide.data(),
                          wideCount) != wideCount) {
    return std::nullopt;
  }
  return wide;
}

// WC_NO_BEST_FIT_CHARS stops look-alike substitutions (É to é); any character still without a
// GBK form then comes out as the default character, which usedDefault reports.
std::optional<Text> narrowGbk(const std::wstring& wide) {
  if (wide.empty()) return Text();
  if (wide.size() > INT_MAX) return std::nullopt;
  const int wideCount = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  const int byteCount = WideCharToMultiByte(gbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideCount,
                                            nullptr, 0, nullptr, &usedDefault);
  if (byteCount <= 0 || usedDefault) return std::nullopt;
  Text text(static_cast<size_t>(byteCount), '\0');
  if (WideCharToMultiByte(gbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), wideCount, text.data(), byteCount,
                          nullptr, &usedDefault) != byteCount ||
      usedDefault) {
    return std::nullopt;
  }
  return text;
}
