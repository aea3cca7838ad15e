#include "app/text_services.h"

#include <gtest/gtest.h>

TEST(TextServices, compareTextsOrdersUnsignedBytesAndTreatsAbsentAsEmpty) {
  struct Case {
    Text a, b;
    int expected;
  };
  const Case cases[] = {
      {Text(), "", 0},   {"0", "00", -1},   {"0", "", 1},     {"", "0", -1},
      {"0", "0", 0},     {"\x80", "\x7f", 1}, {"未修正", "未修正", 0}, {"a", "b", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(compareTexts(c.a, c.b), c.expected) << c.a << " vs " << c.b;
}

TEST(TextServices, concatTextsNeverGivesAbsentAndStopsEachPartAtItsZeroByte) {
  EXPECT_EQ(concatTexts({Text(), Text()}), "");
  EXPECT_EQ(concatTexts({"ab", Text(), "cd"}), "abcd");
  EXPECT_EQ(concatTexts({"请", charText(13), charText(10), "错误"}), "请\r\n错误");
  EXPECT_EQ(concatTexts({Text("x\0y", 3), "z"}), "xz");
}

TEST(TextServices, charTextAndTextLength) {
  EXPECT_EQ(charText(0), Text());
  EXPECT_EQ(charText(13), "\r");
  EXPECT_EQ(charText(255), "\xff");
  EXPECT_EQ(textLength(Text()), 0);
  EXPECT_EQ(textLength("修正版"), 6);
  EXPECT_EQ(textLength(Text("ab\0cd", 5)), 2);
}

TEST(TextServices, bytesToTextStopsAtTheFirstZeroByte) {
  EXPECT_EQ(bytesToText(ByteBlock()), Text());
  EXPECT_EQ(bytesToText(ByteBlock("\0abc", 4)), Text());
  EXPECT_EQ(bytesToText(ByteBlock("ab\0c", 4)), "ab");
  EXPECT_EQ(bytesToText(ByteBlock("abc", 3)), "abc");
}
