#include "player/base/text16.h"

#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

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

TEST(Text16, FoldingRealWords) {
  EXPECT_EQ(ToLower(u"\\My Music\\R\u016F\u017Ee \u0141\u00F3d\u017A \u0143\u017C \u017Dlu\u0165.MP3"),
            u"\\my music\\r\u016F\u017Ee \u0142\u00F3d\u017A \u0144\u017C \u017Elu\u0165.mp3");
  // Czech, Polish, Greek with tonos, Ukrainian and Russian capitals against their small forms.
  EXPECT_TRUE(EqualsNoCase(u"\u0158\u00CD\u0160E \u017DLU\u0164OU\u010CK\u00DD K\u016E\u0147",
                           u"\u0159\u00ED\u0161e \u017Elu\u0165ou\u010Dk\u00FD k\u016F\u0148"));
  EXPECT_TRUE(EqualsNoCase(u"ZA\u017B\u00D3\u0141\u0106 G\u0118\u015AL\u0104 JA\u0179\u0143",
                           u"za\u017C\u00F3\u0142\u0107 g\u0119\u015Bl\u0105 ja\u017A\u0144"));
  EXPECT_TRUE(EqualsNoCase(u"\u0391\u0398\u0389\u039D\u0391 \u0398\u0395\u03A3\u03A3\u0391\u039B\u039F\u039D\u038A\u039A\u0397",
                           u"\u03B1\u03B8\u03AE\u03BD\u03B1 \u03B8\u03B5\u03C3\u03C3\u03B1\u03BB\u03BF\u03BD\u03AF\u03BA\u03B7"));
  EXPECT_TRUE(EqualsNoCase(u"\u0490\u0410\u041D\u041E\u041A \u0407\u0416\u0410\u041A\u0410",
                           u"\u0491\u0430\u043D\u043E\u043A \u0457\u0436\u0430\u043A\u0430"));
  EXPECT_TRUE(EqualsNoCase(u"\u0401\u0416\u0418\u041A", u"\u0451\u0436\u0438\u043A"));
  EXPECT_TRUE(EndsWithNoCase(u"\u017Dlu\u0165ou\u010Dk\u00FD.\u0141\u0106", u"\u010Dk\u00FD.\u0142\u0107"));
  // Letters that only sit next to each other in the code charts stay apart.
  EXPECT_FALSE(EqualsNoCase(u"r\u016F\u017Ee", u"r\u016F\u017Fe")) << "z caron is no long s";
  EXPECT_FALSE(EqualsNoCase(u"\u017A", u"\u017B")) << "z acute is no capital z dot";
  EXPECT_FALSE(EqualsNoCase(u"\u0138", u"\u0139")) << "kra is no capital l acute";
  EXPECT_EQ(FoldCase(u'\u0178'), u'\u00FF') << "capital y diaeresis lives far from its small letter";
  EXPECT_EQ(FoldCase(u'\u00DF'), u'\u00DF') << "sharp s is a small letter";
}

#ifdef CRV_UNICODE_DATA
// Fields 12 and 13 of every line of UnicodeData.txt, for the BMP: the expected FoldCase of
// each code point. That is its simple lower-case mapping (field 13) when the small letter's
// upper-case mapping (field 12) leads back to it, and the code point itself otherwise (the
// library finds its folded paths again through a file system that compares in capitals).
static std::vector<char16_t> ExpectedFolding(std::istream& data, size_t* mapped) {
  std::vector<char16_t> expected(0x10000), upper(0x10000);
  for (size_t code = 0; code < expected.size(); ++code) expected[code] = upper[code] = static_cast<char16_t>(code);
  std::vector<std::pair<unsigned long, unsigned long>> lowerings;
  std::string line;
  while (std::getline(data, line)) {
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string field; std::getline(split, field, ';');) fields.push_back(field);
    if (fields.size() < 14) continue;
    const unsigned long code = std::stoul(fields[0], nullptr, 16);
    if (code > 0xFFFF) continue;
    if (!fields[12].empty()) upper[code] = static_cast<char16_t>(std::stoul(fields[12], nullptr, 16));
    if (!fields[13].empty()) lowerings.emplace_back(code, std::stoul(fields[13], nullptr, 16));
  }
  *mapped = 0;
  for (const auto& [code, lower] : lowerings) {
    if (lower > 0xFFFF || upper[lower] != code) continue;
    expected[code] = static_cast<char16_t>(lower);
    ++*mapped;
  }
  return expected;
}

TEST(Text16, FoldCaseIsTheUnicodeLowerCaseMappingOfEveryBmpCodePoint) {
  std::ifstream data(CRV_UNICODE_DATA);
  ASSERT_TRUE(data.is_open()) << CRV_UNICODE_DATA << " is missing (Debian package unicode-data)";
  size_t mapped = 0;
  const std::vector<char16_t> expected = ExpectedFolding(data, &mapped);
  ASSERT_GT(mapped, 1000u) << "the file holds the lower-case mappings";
  int wrong = 0;
  for (size_t code = 0; code < expected.size() && wrong < 20; ++code) {
    const char16_t folded = FoldCase(static_cast<char16_t>(code));
    if (folded == expected[code]) continue;
    ++wrong;
    ADD_FAILURE() << std::hex << std::uppercase << "U+" << code << " folds to U+" << int(folded)
                  << ", not U+" << int(expected[code]);
  }
}
#endif
