// The address rules of "Open URL...": the history, which addresses name files, the canonical
// form, a page's links and the names downloads are stored under.
#include <gtest/gtest.h>

#include "player/share/web_address.h"

using namespace crv;

namespace {

std::vector<u16> Names(const std::vector<PageLink>& links) {
  std::vector<u16> out;
  for (const auto& link : links) out.push_back(link.name);
  return out;
}

}  // namespace

TEST(UrlHistory, NewestFirstTwentyAtMostAndNoRepeats) {
  std::vector<u16> history;
  for (int i = 0; i < 21; ++i) RememberUrl(history, u"http://h/" + Decimal(i));
  ASSERT_EQ(history.size(), 20u);
  EXPECT_EQ(history.front(), u"http://h/20");
  EXPECT_EQ(history.back(), u"http://h/1") << "the 21st address pushed the oldest out";
  RememberUrl(history, u"http://h/5");
  EXPECT_EQ(history.size(), 20u);
  EXPECT_EQ(history.front(), u"http://h/5");
  EXPECT_EQ(std::count(history.begin(), history.end(), u"http://h/5"), 1);
  EXPECT_EQ(history.back(), u"http://h/1") << "moving an address up drops nothing";
  RememberUrl(history, u"http://H/5");
  EXPECT_EQ(history.size(), 20u) << "the comparison is exact: another case is another address";
}

TEST(WebAddressKinds, FilesFoldersAndSchemes) {
  EXPECT_TRUE(PointsAtFile(u"http://h/movies/clip.AVI"));
  EXPECT_TRUE(PointsAtFile(u"http://h/p.jpeg"));
  EXPECT_FALSE(PointsAtFile(u"http://h/movies/"));
  EXPECT_FALSE(PointsAtFile(u"http://h/index.html"));
  EXPECT_FALSE(PointsAtFile(u"clip.avi")) << "a name needs a / before it";
  EXPECT_EQ(KindOfAddress(u"http://h/song.wma"), WebFileKind::kMedia);
  EXPECT_EQ(KindOfAddress(u"http://h/x.pcx"), WebFileKind::kPicture);
  EXPECT_TRUE(IsWindowsMediaAddress(u"http://h/a.WMV"));
  EXPECT_FALSE(IsWindowsMediaAddress(u"http://h/a.mov"));
  EXPECT_TRUE(IsRtspAddress(u"RTSP://h/stream"));
  EXPECT_FALSE(IsRtspAddress(u"rtsp:/"));
}

TEST(WebAddressCanonical, EscapesDecodedAndDotSegmentsResolved) {
  EXPECT_EQ(CanonicalAddress(u"http://h/a%20b.jpg"), u"http://h/a b.jpg");
  EXPECT_EQ(CanonicalAddress(u"http://h/x/%2e%2e/y.bmp"), u"http://h/y.bmp");
  EXPECT_EQ(CanonicalAddress(u"http://h/../../etc/p.gif"), u"http://h/etc/p.gif") << "never above the root";
  EXPECT_EQ(CanonicalAddress(u"http://h/a/./b/"), u"http://h/a/b/");
  EXPECT_EQ(CanonicalAddress(u"http://h/x%00.jpg"), u"http://h/x");
  EXPECT_EQ(CanonicalAddress(u"http://h/p.jpg?a=../b"), u"http://h/p.jpg?a=../b");
  EXPECT_EQ(CanonicalAddress(u"http://h/bad%zz%4"), u"http://h/bad%zz%4");
}

TEST(PageLinks, MediaAndPictureLinksInPageOrder) {
  std::string page =
      "<html><A HREF=\"clip.avi\">clip</A> <a  href=\"two-spaces.avi\">x</a>"
      "<a href=\"page.html\">p</a><a href=\"sub/pic%20one.JPG\">q</a>"
      "<a href=\"clip.avi\">again</a><a href=\"http://other/x.mp3\">abs</a>"
      "<a href=\"last.gif\" class=\"c\">other attributes</a><a href=\"end.avi\">";
  NormaliseLinkTags(page);
  const auto links = ScanPageLinks(u"http://h/dir/", page);
  // "last.gif" runs to the next quote before ">" and so ends in "c": no picture.
  EXPECT_EQ(Names(links), (std::vector<u16>{u"clip.avi", u"pic one.JPG", u"clip.avi", u"x.mp3", u"end.avi"}));
  EXPECT_EQ(links[1].address, u"http://h/dir/sub/pic one.JPG");
  EXPECT_EQ(links[3].address, u"http://h/dir/http://other/x.mp3") << "a full address is appended unchanged";
  EXPECT_EQ(PageBase(u"http://h/dir"), u"http://h/dir/");
  EXPECT_EQ(PageBase(u"http://h/dir/"), u"http://h/dir/");
}

TEST(PageLinks, ScanEndsWithThePageAndAtAnOpenLink) {
  std::string page = "<a href=\"a.avi\"><a href=\"b.avi";
  EXPECT_EQ(Names(ScanPageLinks(u"http://h/", page)), (std::vector<u16>{u"a.avi"}));
  EXPECT_TRUE(ScanPageLinks(u"http://h/", "").empty());
  EXPECT_TRUE(ScanPageLinks(u"http://h/", "<a href=\"").empty());
}

TEST(DownloadNames, HostileNamesNeverLeaveTheFolder) {
  EXPECT_EQ(DownloadFileName(CanonicalAddress(u"http://h/pics/Sunset.jpg")), u"Sunset.jpg");
  EXPECT_EQ(DownloadFileName(CanonicalAddress(u"http://h/..%5c..%5cWindows%5cx.jpg")), u"x.jpg");
  EXPECT_EQ(DownloadFileName(CanonicalAddress(u"http://h/%2e%2e/x.bmp")), u"x.bmp");
  EXPECT_EQ(DownloadFileName(CanonicalAddress(u"http://h/x%00.jpg")), u"x");
  EXPECT_EQ(DownloadFileName(CanonicalAddress(u"http://h/CON.jpg")), u"");
  EXPECT_EQ(DownloadFileName(CanonicalAddress(u"http://h/lpt1")), u"");
  EXPECT_EQ(DownloadFileName(u"http://h/COM\u00B9.png"), u"");
  EXPECT_EQ(DownloadFileName(CanonicalAddress(u"http://h/com10.jpg")), u"com10.jpg");
  EXPECT_EQ(DownloadFileName(CanonicalAddress(u"http://h/")), u"");
  EXPECT_EQ(DownloadFileName(CanonicalAddress(u"http://h/..")), u"");
  EXPECT_EQ(DownloadFileName(CanonicalAddress(u"http://h/c%3a%2fboot.ini")), u"boot.ini");
  EXPECT_EQ(DownloadFileName(u"http://h/a:b|c.gif?x=1#y"), u"a_b_c.gif");
  EXPECT_EQ(DownloadFileName(u"http://h/name. . "), u"name");
}
