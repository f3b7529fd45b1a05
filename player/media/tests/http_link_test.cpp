// The HTTP source's link files: their size and line rules and the source an address picks.
#include <gtest/gtest.h>

#include <string>

#include "player/media/http_link.h"

using namespace crv;

TEST(LinkFile, TheAddressEndsAtTheFirstLineEnd) {
  std::string address;
  const std::string file = "http://h/Clip.AVI\r\nsecond line";
  ASSERT_TRUE(ReadLinkAddress(file.data(), file.size(), address));
  EXPECT_EQ(address, "http://h/Clip.AVI");
  EXPECT_EQ(LinkedMovieOf(address), LinkedMovie::kAvi);
  const std::string lf = "http://h/m.mov\nx\r";
  ASSERT_TRUE(ReadLinkAddress(lf.data(), lf.size(), address));
  EXPECT_EQ(address, "http://h/m.mov");
  const std::string nul("http://h/a.qt\0.avi", 18);
  ASSERT_TRUE(ReadLinkAddress(nul.data(), nul.size(), address));
  EXPECT_EQ(LinkedMovieOf(address), LinkedMovie::kQuickTime);
  ASSERT_TRUE(ReadLinkAddress(nullptr, 0, address));
  EXPECT_EQ(address, "");
}

TEST(LinkFile, TooLongOrNotAMovieIsRefused) {
  std::string address;
  const std::string long_file = "http://h/" + std::string(287, 'a') + ".avi";
  ASSERT_EQ(long_file.size(), 300u);
  EXPECT_FALSE(ReadLinkAddress(long_file.data(), long_file.size(), address));
  const std::string at_limit(259, 'a');
  EXPECT_TRUE(ReadLinkAddress(at_limit.data(), at_limit.size(), address));
  EXPECT_FALSE(ReadLinkAddress(std::string(260, 'a').data(), 260, address));
  EXPECT_EQ(LinkedMovieOf("http://h/a.mpg"), LinkedMovie::kNone);
  EXPECT_EQ(LinkedMovieOf("http://h/avi"), LinkedMovie::kNone);
  EXPECT_EQ(LinkedMovieOf("http://h.avi/x"), LinkedMovie::kNone);
}
