#include "player/base/text16.h"

#include <gtest/gtest.h>

using namespace crv;

TEST(Text16, FoldingAndUtf8RoundTrip) {
  EXPECT_TRUE(EqualsNoCase(u"\\MY Documents\\\u00C9t\u00C9", u"\\my documents\\\u00E9t\u00E9"));
  EXPECT_FALSE(EqualsNoCase(u"abc", u"abd"));
  EXPECT_TRUE(EndsWithNoCase(u"x.JPEG", u".jpeg"));
  const std::string utf8 = "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5";
  EXPECT_EQ(ToUtf8(FromUtf8(utf8)), utf8);
  EXPECT_EQ(FromUtf8("\xC3"), u"\uFFFD") << "a cut sequence becomes a replacement character";
  EXPECT_EQ(FromUtf8(std::string("a\xC0\x80" "b")), u"a\uFFFD\uFFFDb") << "an overlong NUL is no character";
  EXPECT_EQ(FromUtf8("\xE0\x80\xAF"), u"\uFFFD\uFFFD\uFFFD") << "an overlong slash is no character";
  EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD") << "past U+10FFFF";
  char16_t small[4];
  CopyTo(small, 4, u"abcdef");
  EXPECT_EQ(u16(small), u"abc");
  EXPECT_EQ(Decimal(-42), u"-42");
}
