// Playlist files: the markup form as written by hand and by tools, its encodings, the
// "[Reference]" form, hostile and oversized documents, and where an entry's href points.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/media_control/asx_list.h"

using namespace crv::mediactl;

namespace {

struct Parsed {
  bool ok = false;
  std::vector<AsxEntry> entries;
  std::vector<std::u16string> Hrefs() const {
    std::vector<std::u16string> hrefs;
    for (const AsxEntry& entry : entries) hrefs.push_back(entry.href);
    return hrefs;
  }
};

Parsed Parse(const std::string& bytes) {
  Parsed parsed;
  parsed.ok = ParseAsxList(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), parsed.entries);
  return parsed;
}

using Hrefs = std::vector<std::u16string>;

const char kTypical[] =
    "<?xml version=\"1.0\"?>\r\n"
    "<!-- <ENTRY><REF HREF=\"commented.wmv\"/></ENTRY> -->\r\n"
    "<Asx Version=\"3.0\">\n"
    "  <Title>The list's own title</Title>\n"
    "  <entry>\n"
    "    <title> Tom &amp; Jerry &#x263A;&#65; </title>\n"
    "    <Ref href = 'clips/one.wmv?a=1&amp;b=2' />\n"
    "  </entry>\n"
    "  <ENTRY><TITLE>a &nbsp; &#0; &#99999999999; &#xD800; b</TITLE><REF HREF=two.wma/></ENTRY>\n"
    "</ASX>\n";

}  // namespace

TEST(AsxList, ReadsEntriesWithTitlesWhateverTheCaseOfTheTags) {
  const Parsed parsed = Parse(kTypical);
  ASSERT_TRUE(parsed.ok);
  ASSERT_EQ(parsed.entries.size(), 2u);
  EXPECT_EQ(parsed.entries[0].href, u"clips/one.wmv?a=1&b=2");
  EXPECT_EQ(parsed.entries[0].title, u"Tom & Jerry \u263A" u"A") << "the list's own title is no entry's";
  EXPECT_FALSE(parsed.entries[0].isListRef);
  EXPECT_EQ(parsed.entries[1].href, u"two.wma") << "an unquoted value ends before \"/>\"";
  EXPECT_EQ(parsed.entries[1].title, u"a &nbsp; &#0; &#99999999999; &#xD800; b")
      << "unknown and invalid entities stay as written";
}

TEST(AsxList, TakesTheFirstUsableRefAndClosesEntriesLeftOpen) {
  const Parsed parsed = Parse(
      "<ASX><ENTRY><REF HREF=\"\"/><REF HREF=\"  first.wmv \"/><REF HREF=\"second.wmv\"/></ENTRY>"
      "<ENTRY><TITLE>No media</TITLE></ENTRY><ENTRY/>"
      "<ENTRY><TITLE>One</TITLE><REF HREF=\"open1.wmv\">"
      "<ENTRY><REF HREF='open2.wmv'><TITLE>Two");
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.Hrefs(), (Hrefs{u"first.wmv", u"open1.wmv", u"open2.wmv"}));
  ASSERT_EQ(parsed.entries.size(), 3u);
  EXPECT_EQ(parsed.entries[1].title, u"One");
  EXPECT_EQ(parsed.entries[2].title, u"Two") << "the end of the document closes the title and the entry";
}

TEST(AsxList, ReadsNestedListsAndRefsOutsideEntriesInFileOrder) {
  const Parsed parsed = Parse(
      "<junk><REF HREF=\"before.wmv\"/></junk>"
      "<asx><REF HREF=\"loose1.mp3\"/><ENTRYREF HREF=\"more.asx\"/>"
      "<ENTRY><REF HREF=\"e.wmv\"/></ENTRY><REF HREF=\"loose2.mp3\"></REF>"
      "</asx><ENTRY><REF HREF=\"after.wmv\"/></ENTRY>");
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.Hrefs(), (Hrefs{u"loose1.mp3", u"more.asx", u"e.wmv", u"loose2.mp3"}));
  ASSERT_EQ(parsed.entries.size(), 4u);
  EXPECT_FALSE(parsed.entries[0].isListRef);
  EXPECT_TRUE(parsed.entries[1].isListRef);
  EXPECT_FALSE(parsed.entries[2].isListRef);
}

TEST(AsxList, RefusesDocumentsThatAreNoList) {
  EXPECT_FALSE(Parse("").ok);
  EXPECT_FALSE(Parse("<html><ENTRY><REF HREF=a.wmv></ENTRY></html>").ok);
  EXPECT_FALSE(Parse("<!-- <ASX> -->").ok);
  std::vector<AsxEntry> entries(3);
  EXPECT_FALSE(ParseAsxList(reinterpret_cast<const uint8_t*>("x"), 1, entries));
  EXPECT_TRUE(entries.empty()) << "a refused document leaves no entries behind";

  const Parsed empty = Parse("<ASX></ASX>");
  EXPECT_TRUE(empty.ok);
  EXPECT_TRUE(empty.entries.empty());
}

TEST(AsxList, DecodesUtf16AndUtf8) {
  const std::u16string text = u"<ASX><ENTRY><TITLE>Caf\u00e9 \U0001F600</TITLE><REF HREF=\"\u00fc.wma\"/></ENTRY></ASX>";
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : text) utf16 += std::string{char(c & 0xFF), char(c >> 8)};
  Parsed parsed = Parse(utf16);
  ASSERT_TRUE(parsed.ok);
  ASSERT_EQ(parsed.entries.size(), 1u);
  EXPECT_EQ(parsed.entries[0].title, u"Caf\u00e9 \U0001F600");
  EXPECT_EQ(parsed.entries[0].href, u"\u00fc.wma");

  // With the UTF-8 BOM; a byte that is not UTF-8 is taken as a Latin-1 character.
  parsed = Parse("\xEF\xBB\xBF<ASX><ENTRY><TITLE>Caf\xC3\xA9 \xF0\x9F\x98\x80 Caf\xE9</TITLE>"
                 "<REF HREF=\"\xC3\xBC.wma\"/></ENTRY></ASX>");
  ASSERT_TRUE(parsed.ok);
  ASSERT_EQ(parsed.entries.size(), 1u);
  EXPECT_EQ(parsed.entries[0].title, u"Caf\u00e9 \U0001F600 Caf\u00e9");
  EXPECT_EQ(parsed.entries[0].href, u"\u00fc.wma");
}

TEST(AsxList, ReadsTheReferenceForm) {
  const Parsed parsed = Parse(
      "\xEF\xBB\xBF \r\n[reference]\r\nRef2=http://h/b.asf?MSWMExt=.asf\r\nBandwidth=1\r\n"
      "REF1 = mms://h/a \nRefX=no\nRef3=\n\n[Other]\nRef4=http://h/not-this");
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.Hrefs(), (Hrefs{u"http://h/b.asf?MSWMExt=.asf", u"mms://h/a"}));
  EXPECT_TRUE(Parse("[Reference]").ok) << "a reference list without entries is still a list";
}

TEST(AsxList, HostileDocumentsEndTheReadingAndKeepWhatCameBefore) {
  const std::string one = "<ASX><ENTRY><REF HREF=\"a.wmv\"/></ENTRY>";
  const std::string endings[] = {
      "<ENTRY><REF HREF=\"b.wmv",       // unterminated quote
      "<!-- <ENTRY><REF HREF=b.wmv/>",  // unterminated comment
      "<ENTRY><REF HREF=b.wmv",         // unterminated tag
      "<![CDATA[ <ENTRY>",              // unterminated section
      "<? <ENTRY><REF HREF=b.wmv/>",    // unterminated declaration
      std::string("<ENTRY>\0<REF HREF=b.wmv/></ENTRY>", 33),
      "<ENTRY><REF HREF=\"&#99999999999999999999999999;\"/></ENTRY> < & &# &#x; <",
  };
  for (const std::string& ending : endings) {
    const Parsed parsed = Parse(one + ending);
    EXPECT_TRUE(parsed.ok) << ending;
    ASSERT_FALSE(parsed.entries.empty()) << ending;
    EXPECT_EQ(parsed.entries[0].href, u"a.wmv") << ending;
    for (size_t k = 1; k < parsed.entries.size(); ++k) EXPECT_NE(parsed.entries[k].href, u"b.wmv") << ending;
  }
  // Every prefix of a real list reads without harm and never yields more than the whole.
  const std::string typical = kTypical;
  for (size_t n = 0; n <= typical.size(); ++n) EXPECT_LE(Parse(typical.substr(0, n)).entries.size(), 2u);
}

TEST(AsxList, RefusesOversizedDocumentsAndCapsTheEntries) {
  std::string doc = "<ASX><ENTRY><REF HREF=a.wmv></ENTRY>";
  doc.resize(kMaxAsxBytes, ' ');
  EXPECT_EQ(Parse(doc).entries.size(), 1u);
  doc.push_back(' ');
  const Parsed oversized = Parse(doc);
  EXPECT_FALSE(oversized.ok);
  EXPECT_TRUE(oversized.entries.empty());

  std::string many = "<ASX>";
  for (size_t k = 0; k < kMaxAsxEntries + 5; ++k) many += "<ENTRY><REF HREF=r" + std::to_string(k) + ".wmv></ENTRY>";
  const Parsed capped = Parse(many);
  EXPECT_TRUE(capped.ok);
  ASSERT_EQ(capped.entries.size(), kMaxAsxEntries);
  EXPECT_EQ(capped.entries.back().href, u"r999.wmv");
}

TEST(AsxList, RecognisesListPaths) {
  EXPECT_TRUE(IsAsxPath(u"a.ASX"));
  EXPECT_TRUE(IsAsxPath(u"\\Music\\b.wax?x=1"));
  EXPECT_TRUE(IsAsxPath(u"http://h/c.WvX#top"));
  EXPECT_TRUE(IsAsxPath(u"\\Music\\#1 hits.wmx")) << "'#' may be part of a file name";
  EXPECT_FALSE(IsAsxPath(u"c.asx.mp3"));
  EXPECT_FALSE(IsAsxPath(u"http://h/c.mp3?list=a.asx")) << "the query is not the name";
  EXPECT_FALSE(IsAsxPath(u"\\dir.asx\\song"));
  EXPECT_FALSE(IsAsxPath(u"asx"));
  EXPECT_FALSE(IsAsxPath(u""));
}

TEST(AsxList, ResolvesRelativeHrefsAgainstTheListsFolder) {
  const std::u16string list = u"\\My Documents\\list.asx";
  EXPECT_EQ(ResolveAsxEntry(list, u"b.wmv"), u"\\My Documents\\b.wmv");
  EXPECT_EQ(ResolveAsxEntry(list, u" sub/./c.mp3"), u"\\My Documents\\sub\\c.mp3");
  EXPECT_EQ(ResolveAsxEntry(list, u"..\\..\\..\\x.mp3"), u"\\x.mp3") << "never above the root";
  EXPECT_EQ(ResolveAsxEntry(u"C:/m/l.asx", u"../../y.mp3"), u"C:\\y.mp3");
  EXPECT_EQ(ResolveAsxEntry(u"\\\\server\\share\\l.asx", u"../z.wma"), u"\\\\server\\share\\z.wma");
  EXPECT_EQ(ResolveAsxEntry(u"file:///C:/m/l.asx", u"b.wmv"), u"C:\\m\\b.wmv");
  EXPECT_EQ(ResolveAsxEntry(list, u""), u"");
}

TEST(AsxList, KeepsAbsoluteHrefsAndUrls) {
  const std::u16string list = u"\\My Documents\\list.asx";
  EXPECT_EQ(ResolveAsxEntry(list, u"C:/m/a.wma"), u"C:\\m\\a.wma");
  EXPECT_EQ(ResolveAsxEntry(list, u"/Storage Card/a.wma"), u"\\Storage Card\\a.wma");
  EXPECT_EQ(ResolveAsxEntry(list, u"\\\\server\\a.wma"), u"\\\\server\\a.wma");
  EXPECT_EQ(ResolveAsxEntry(list, u"http://h/a.wmv"), u"http://h/a.wmv");
  EXPECT_EQ(ResolveAsxEntry(list, u"MMS://h/live"), u"MMS://h/live");
  EXPECT_EQ(ResolveAsxEntry(list, u"file:///C:/x/y%20z.mp3"), u"C:\\x\\y z.mp3");
  EXPECT_EQ(ResolveAsxEntry(list, u"file:///x/y.mp3"), u"\\x\\y.mp3");
  EXPECT_EQ(ResolveAsxEntry(list, u"file://server/share/y.mp3"), u"\\\\server\\share\\y.mp3");
}

TEST(AsxList, ResolvesAgainstAWebList) {
  const std::u16string list = u"http://h/dir/l.asx?user=a/b";
  EXPECT_EQ(ResolveAsxEntry(list, u"b.wmv"), u"http://h/dir/b.wmv");
  EXPECT_EQ(ResolveAsxEntry(list, u"sub\\c.wmv?q=x/../y"), u"http://h/dir/sub/c.wmv?q=x/../y");
  EXPECT_EQ(ResolveAsxEntry(list, u"../../../up.wmv"), u"http://h/up.wmv");
  EXPECT_EQ(ResolveAsxEntry(list, u"/root.wmv"), u"http://h/root.wmv");
  EXPECT_EQ(ResolveAsxEntry(list, u"//other/x.wmv"), u"http://other/x.wmv");
  EXPECT_EQ(ResolveAsxEntry(u"http://h", u"b.wmv"), u"http://h/b.wmv");
}
