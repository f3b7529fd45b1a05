// Tags of files the ffmpeg tool writes, in the formats the library holds music and videos in
// (its 3GP muxer writes no tags; 3GP is read as MP4 is); broken and hostile tags never get
// through as they are.
#include "player/library/media_tags.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "player/base/device_fs.h"
#include "player/library/tests/test_folder.h"

using namespace crv;
using crv::testing_support::TestFolder;

namespace {

bool HaveFfmpeg() { return std::system("ffmpeg -version > /dev/null 2>&1") == 0; }

class Tags : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "no ffmpeg tool";
  }
  // A second of sound (and picture, for video containers) with the given metadata options.
  u16 Write(const std::string& name, const std::string& input, const std::string& options) {
    const std::string path = dir.Native(FromUtf8(name)).string();
    const std::string command = "ffmpeg -v error -y " + input + " -t 1 " + options + " '" + path + "'";
    if (std::system(command.c_str()) != 0) return u16();
    return dir.Path(FromUtf8(name));
  }
  MediaTags Read(const u16& path) {
    MediaTags tags;
    auto file = device_fs::OpenForReading(path);
    EXPECT_TRUE(file);
    if (file) {
      EXPECT_TRUE(ReadMediaTags(*file, path, &tags));
    }
    return tags;
  }

  TestFolder dir;
};

const char kSound[] = "-f lavfi -i sine=frequency=440:sample_rate=22050";
const char kVideo[] = "-f lavfi -i testsrc2=size=64x48:rate=5 -f lavfi -i sine=frequency=440:sample_rate=22050";
const char kMeta[] = "-metadata title='The Title' -metadata artist='The Artist' -metadata album='The Album' "
                     "-metadata genre='Blues'";

TEST_F(Tags, EveryContainerGivesTitleArtistAlbumAndGenre) {
  struct Case {
    const char* name;
    const char* input;
    const char* codec;
    bool has_album;  // RIFF INFO has no album field that libavformat reads back
  };
  const Case cases[] = {
      {"a.mp3", kSound, "-c:a libmp3lame", true},     {"b.wma", kSound, "-c:a wmav2", true},
      {"c.mp4", kSound, "-c:a aac", true},            {"d.m4v", kVideo, "-c:v mpeg4 -c:a aac -f mp4", true},
      {"e.wmv", kVideo, "-c:v wmv2 -c:a wmav2", true}, {"f.wav", kSound, "-c:a pcm_s16le", false},
      {"g.avi", kVideo, "-c:v mjpeg -c:a pcm_s16le", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const u16 path = Write(c.name, c.input, std::string(c.codec) + " " + kMeta);
    if (path.empty()) {
      ADD_FAILURE() << "ffmpeg could not write " << c.name;
      continue;
    }
    const MediaTags tags = Read(path);
    EXPECT_EQ(tags.title, u"The Title");
    EXPECT_EQ(tags.artist, u"The Artist");
    if (c.has_album) {
      EXPECT_EQ(tags.album, u"The Album");
    }
    EXPECT_EQ(tags.genre, u"Blues");
  }
}

TEST_F(Tags, TheRecordGetsTheTagsItHasAndKeepsItsOwnTitleOtherwise) {
  const u16 tagged = Write("tagged.mp3", kSound, std::string("-c:a libmp3lame ") + kMeta);
  const u16 bare = Write("bare.mp3", kSound, "-c:a libmp3lame -map_metadata -1 -write_xing 0 -id3v2_version 0");
  ASSERT_FALSE(tagged.empty());
  ASSERT_FALSE(bare.empty());
  CMediaItem a;
  a.SetLocation(tagged);
  a.GetTitle();
  ReadTagsInto(a);
  EXPECT_EQ(a.GetTitle(), u"The Title");
  EXPECT_EQ(a.GetArtist(), u"The Artist");
  EXPECT_EQ(a.GetAlbum(), u"The Album");
  EXPECT_EQ(a.GetGenre(), u"Blues");
  CMediaItem b;
  b.SetLocation(bare);
  b.GetTitle();
  ReadTagsInto(b);
  EXPECT_EQ(b.GetTitle(), u"bare");
  EXPECT_TRUE(b.GetArtist().empty());
  CMediaItem missing;
  missing.SetLocation(dir.Path(u"missing.mp3"));
  ReadTagsInto(missing);
  EXPECT_TRUE(missing.GetArtist().empty());
}

TEST_F(Tags, HostileValuesAreCleanedAndCut) {
  const std::string long_artist(1000, 'x');
  const u16 path = Write("hostile.mp3", kSound,
                         "-c:a libmp3lame -metadata title=\"$(printf ' a\\tb\\001c ')\" -metadata artist=" + long_artist);
  ASSERT_FALSE(path.empty());
  const MediaTags tags = Read(path);
  EXPECT_EQ(tags.title, u"a b c");
  EXPECT_EQ(tags.artist.size(), kMaxTagLength);
}

TEST_F(Tags, BrokenFilesGiveNoTagsAndNoCrash) {
  std::ofstream(dir.Native(u"zero.mp3"), std::ios::binary);
  std::ofstream(dir.Native(u"noise.wma"), std::ios::binary) << std::string(5000, '\x5a');
  const u16 good = Write("cut.mp3", kSound, std::string("-c:a libmp3lame ") + kMeta);
  ASSERT_FALSE(good.empty());
  std::filesystem::resize_file(dir.Native(u"cut.mp3"), 40);  // inside the ID3v2 header
  for (const char16_t* name : {u"zero.mp3", u"noise.wma"}) {
    auto file = device_fs::OpenForReading(dir.Path(name));
    ASSERT_TRUE(file);
    MediaTags tags;
    ReadMediaTags(*file, dir.Path(name), &tags);
    EXPECT_TRUE(tags.artist.empty()) << ToUtf8(name);
  }
  // Cut inside its tags: whatever could be read, and the record keeps its derived title.
  CMediaItem cut;
  cut.SetLocation(good);
  cut.GetTitle();
  ReadTagsInto(cut);
  EXPECT_FALSE(cut.GetTitle().empty());
}

}  // namespace
