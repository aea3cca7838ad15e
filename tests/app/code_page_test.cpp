#include "app/code_page.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

using namespace std::string_literals;

namespace {

// Narrow literals are compiled to GBK bytes, wide ones to UTF-16.
TEST(CodePage, gbkAndUtf16RoundTrip) {
  const struct {
    Text gbk;
    std::wstring wide;
  } cases[] = {
      {"", L""},
      {"QM_Client_Data\\resources.assets", L"QM_Client_Data\\resources.assets"},
      {"\xD6\xD0\xCE\xC4", L"\u4E2D\u6587"},
      {"已成功修正", L"已成功修正"},
      {"信息：", L"信息："},
      {"\x80", L"\u20AC"},
      {"a\0b"s, L"a\0b"s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.gbk));
    EXPECT_EQ(widenGbk(c.gbk), c.wide);
    EXPECT_EQ(narrowGbk(c.wide), c.gbk);
  }
}

TEST(CodePage, widenGbkRefusesInvalidBytes) {
  for (const Text& invalid : {"\xFF\xFF"s, "\x81"s, "ok\x81"s}) {
    SCOPED_TRACE(testing::PrintToString(invalid));
    EXPECT_EQ(widenGbk(invalid), std::nullopt);
  }
}

TEST(CodePage, narrowGbkRefusesCharactersWithoutAnExactGbkForm) {
  const std::wstring unrepresentable[] = {L"\u00C9", L"\U0001F600", std::wstring(1, wchar_t(0xD800))};
  for (const std::wstring& wide : unrepresentable) {
    SCOPED_TRACE(testing::PrintToString(wide));
    EXPECT_EQ(narrowGbk(wide), std::nullopt);
  }
}

// The suite runs each test exe under two system code pages; the conversions must not care which.
TEST(CodePage, theTestBedRunsUnderTheSystemCodePageItNames) {
  wchar_t expected[16] = L"";
  if (GetEnvironmentVariableW(L"QUESTFIX_EXPECTED_ACP", expected, 16) == 0) GTEST_SKIP() << "run outside CTest";
  EXPECT_EQ(GetACP(), std::wcstoul(expected, nullptr, 10));
}

}  // namespace
