#include "db/ansi_utf8.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

constexpr UINT kGbkCodePage = 936;

// The character of a GBK byte sequence as the system decodes it; empty when it is not valid GBK.
std::wstring systemWiden(const std::string& gbk) {
  wchar_t wide[4];
  const int count = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(),
                                        static_cast<int>(gbk.size()), wide, 4);
  return count > 0 ? std::wstring(wide, static_cast<size_t>(count)) : std::wstring();
}

// The system's own UTF-8 form of a UTF-16 text.
std::string systemUtf8(const std::wstring& wide) {
  char utf8[16];
  const int count = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8,
                                        sizeof utf8, nullptr, nullptr);
  return std::string(utf8, static_cast<size_t>(count > 0 ? count : 0));
}

TEST(AnsiUtf8, knownTextsConvertBothWays) {
  const struct {
    Text gbk;
    std::string utf8;
  } cases[] = {
      {"", ""},
      {"SELECT * FROM translation", "SELECT * FROM translation"},
      {"\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
      {"修正版", u8"修正版"},
      {"错误代码:0*0E000015", u8"错误代码:0*0E000015"},
      {"\x80", "\xE2\x82\xAC"},
      {"\x7F\x01", "\x7F\x01"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.gbk));
    EXPECT_EQ(ansiToUtf8(c.gbk), c.utf8);
    EXPECT_EQ(utf8ToAnsi(c.utf8), c.gbk);
  }
}

TEST(AnsiUtf8, bothReadUpToTheFirstZeroByte) {
  EXPECT_EQ(ansiToUtf8("ab\0\xFF\xFF"s), "ab");
  EXPECT_EQ(utf8ToAnsi("ab\0\xF0\x9F\x98\x80"s), "ab");
  EXPECT_EQ(ansiToUtf8("\0abc"s), "");
}

TEST(AnsiUtf8, everyDoubleByteGbkCodeRoundTrips) {
  int validCodes = 0;
  int failureCount = 0;
  std::vector<std::string> firstFailures;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const Text gbk{static_cast<char>(lead), static_cast<char>(trail)};
      const std::wstring wide = systemWiden(gbk);
      if (wide.empty()) continue;
      ++validCodes;
      const std::optional<std::string> utf8 = ansiToUtf8(gbk);
      if (utf8 != systemUtf8(wide) || utf8ToAnsi(utf8.value_or("")) != gbk) {
        if (++failureCount <= 10) firstFailures.push_back(testing::PrintToString(gbk));
      }
    }
  }
  EXPECT_GT(validCodes, 21000);
  EXPECT_EQ(failureCount, 0) << "first failing codes: " << testing::PrintToString(firstFailures);
}

TEST(AnsiUtf8, ansiToUtf8RefusesInvalidOrCutOffGbk) {
  for (const Text& invalid : {"\x81"s, "ok\xD6"s, "\xD6\xD0\xCE"s, "\xFF\xFF"s, "\x81\x7F"s}) {
    SCOPED_TRACE(testing::PrintToString(invalid));
    EXPECT_EQ(ansiToUtf8(invalid), std::nullopt);
  }
}

TEST(AnsiUtf8, utf8ToAnsiRefusesMalformedUtf8AndCharactersWithoutGbkForm) {
  const std::string refused[] = {
      "\xC3",                              // two-byte sequence cut off
      "ok\xE4\xB8",                        // three-byte sequence cut off
      "\x80",                              // lone continuation byte
      "a\xBF" "b",                         // continuation byte in lead position
      "\xE4\x41\x41",                      // missing continuation byte
      "\xF0\x9F\x98\x80",                  // four-byte sequence (U+1F600)
      "\xF0\xA4\xB8\xAD",                  // four-byte U+24E2D, whose low 16 bits are a GBK character
      "\xF8\x88\x80\x80\x80",              // five-byte lead
      "\xFF",                              // never a UTF-8 byte
      "\xC3\x89",                          // U+00C9, best-fit to e-acute otherwise
      "\xE0\xB8\x81",                      // U+0E01, no GBK form
      "\xED\xA0\x80",                      // lone surrogate half
      "\xED\xA0\xBD\xED\xB8\x80",          // surrogate pair of U+1F600, each half encoded alone
      "\xE4\xB8\xAD\xC3\x89\xE6\x96\x87",  // one character without GBK form among others
  };
  for (const std::string& utf8 : refused) {
    SCOPED_TRACE(testing::PrintToString(utf8));
    EXPECT_EQ(utf8ToAnsi(utf8), std::nullopt);
  }
}

TEST(AnsiUtf8, utf8ToAnsiDecodesOverlongFormsAsTheyStand) {
  EXPECT_EQ(utf8ToAnsi("\xC1\x81"), "A");
  EXPECT_EQ(utf8ToAnsi("\xE0\x81\x81" "B"), "AB");
  EXPECT_EQ(utf8ToAnsi("a\xC0\x80" "b"), "a");
}

}  // namespace
