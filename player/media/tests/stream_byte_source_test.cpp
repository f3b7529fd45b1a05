// The byte stream over a local file as a ByteSource: its size, reads cut short at the end and
// refused past it, the stream's own position left alone, and the QuickTime reader through it
// reading the same movie as from memory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "player/media/qt_file.h"
#include "player/media/stream_byte_source.h"
#include "player/media/stream_file.h"
#include "player/media/tests/qt_builder.h"

namespace crv {
namespace {

TEST(StreamByteSource, ReadsAMovieFromAFile) {
  test::TrackSpec t;
  t.stts = {{4, 100}};
  t.stsc = {{1, 2, 1}};
  t.sizes = {3, 4, 5, 6};
  t.stco = {0, 20};
  test::Bytes data(40);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  const test::Bytes movie = test::BuildMovie(data, {t});
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "crv_stream_byte_source_test.mov";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(movie.data()), movie.size());

  RFileHandle file = StreamFileOpen(path.u16string());
  ASSERT_NE(file, nullptr);
  {
    RStream stream;
    ASSERT_TRUE(stream.BindFile(file));
    ASSERT_EQ(stream.Seek(5, 0), 5);
    StreamByteSource source(stream);
    EXPECT_EQ(source.Size(), movie.size());
    EXPECT_EQ(stream.Tell(), 5) << "learning the size keeps the position";

    uint8_t tail[16] = {};
    EXPECT_EQ(source.ReadAt(movie.size() - 3, tail, sizeof tail), 3u) << "what the file holds";
    EXPECT_EQ(tail[2], movie.back());
    EXPECT_EQ(source.ReadAt(movie.size(), tail, 1), 0u);
    EXPECT_EQ(source.ReadAt(UINT64_MAX, tail, 1), 0u);
    EXPECT_FALSE(source.ReadExactly(movie.size() - 3, tail, 4));
    EXPECT_FALSE(source.ReadExactly(UINT64_MAX, tail, 1));

    QtFile qt;
    ASSERT_TRUE(QtOpenFile(&source, "file.mov", &qt));
    ASSERT_EQ(qt.frame_count, 4);
    uint8_t sample[8];
    uint32_t size = 0;
    ASSERT_TRUE(qt.movie->SeekToSample(3));
    ASSERT_TRUE(qt.movie->ReadSample(sample, sizeof sample, &size));
    ASSERT_EQ(size, 6u);
    EXPECT_EQ(sample[0], 25);  // chunk 2 at 20, after sample 2's five bytes
    EXPECT_EQ(sample[5], 30);
  }
  StreamFileClose(file);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace crv
