#include "player/pictures/formats/exif_orientation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#include "player/base/bytes.h"
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/pictures/formats/picture_sources.h"
#include "player/pictures/picture_album.h"
#include "player/pictures/screen_renderer.h"
#include "player/pictures/tests/picture_test_files.h"

using namespace crv;
namespace ts = crv::testing_support;

namespace {

using Bytes = std::vector<uint8_t>;

// The turn each orientation 1..8 is shown with.
constexpr int32_t kTurnOf[9] = {0, 0, 0, 180, 180, 90, 90, 270, 270};

constexpr uint16_t kShort = 3, kLong = 4, kRational = 5;

struct IfdEntry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t value;  // a SHORT's value, or a LONG value or offset
};

// A TIFF block in either byte order: the header with the first IFD's offset, the IFD with
// `declared` entries of which `entries` are written, the next IFD's offset, and `tail`.
class Tiff {
 public:
  explicit Tiff(bool little) : little_(little) {}
  Bytes Block(const std::vector<IfdEntry>& entries, uint32_t declared, uint32_t ifdOffset = 8, uint32_t next = 0,
              const Bytes& tail = {}) const {
    Bytes b;
    b.push_back(little_ ? 'I' : 'M');
    b.push_back(little_ ? 'I' : 'M');
    U16(b, 42);
    U32(b, ifdOffset);
    U16(b, declared);
    for (const IfdEntry& e : entries) {
      U16(b, e.tag);
      U16(b, e.type);
      U32(b, e.count);
      if (e.type == kShort) {
        U16(b, e.value);  // left-justified in the value word
        U16(b, 0);
      } else {
        U32(b, e.value);
      }
    }
    U32(b, next);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
  }
  // A camera-like IFD: width, a resolution held past the IFD, the orientation, and one more.
  Bytes WithOrientation(uint32_t orientation) const {
    const uint32_t tailAt = 8 + 2 + 4 * 12 + 4;
    Bytes tail;
    U32(tail, 72);
    U32(tail, 1);
    return Block({{0x0100, kLong, 1, 8}, {0x011A, kRational, 1, tailAt}, {0x0112, kShort, 1, orientation},
                  {0x0213, kShort, 1, 1}},
                 4, 8, 0, tail);
  }
  void U16(Bytes& b, uint32_t v) const { little_ ? AppendLe16(b, v) : AppendBe16(b, v); }
  void U32(Bytes& b, uint32_t v) const { little_ ? AppendLe32(b, v) : AppendBe32(b, v); }

 private:
  bool little_;
};

Bytes ExifPayload(const Bytes& tiff) {
  Bytes p = {'E', 'x', 'i', 'f', 0, 0};
  p.insert(p.end(), tiff.begin(), tiff.end());
  return p;
}

Bytes Segment(uint8_t marker, const Bytes& data) {
  Bytes s = {0xFF, marker};
  AppendBe16(s, static_cast<uint32_t>(data.size() + 2));
  s.insert(s.end(), data.begin(), data.end());
  return s;
}

const Bytes kJfif = Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});

// A JPEG's markers: the start, the segments, a scan of `scanBytes` bytes and the end.
Bytes Jpeg(const std::vector<Bytes>& segments, size_t scanBytes = 16) {
  Bytes f = {0xFF, 0xD8};
  for (const Bytes& s : segments) f.insert(f.end(), s.begin(), s.end());
  const Bytes scan = Segment(0xDA, {1, 1, 0, 0, 63, 0});
  f.insert(f.end(), scan.begin(), scan.end());
  for (size_t i = 0; i < scanBytes; ++i) f.push_back(static_cast<uint8_t>(i * 13 % 255));
  f.insert(f.end(), {0xFF, 0xD9});
  return f;
}

Bytes ExifJpeg(const Bytes& tiff) { return Jpeg({kJfif, Segment(0xE1, ExifPayload(tiff))}); }

// A source that counts what is read from it.
class CountingSource : public ByteSource {
 public:
  explicit CountingSource(const Bytes& bytes) : inner_(bytes.data(), bytes.size()) {}
  uint64_t Size() const override { return inner_.Size(); }
  size_t ReadAt(uint64_t offset, void* destination, size_t count) override {
    bytesRead += count;
    return inner_.ReadAt(offset, destination, count);
  }
  uint64_t bytesRead = 0;

 private:
  MemoryByteSource inner_;
};

int32_t OrientationOf(const Bytes& file) {
  MemoryByteSource source(file.data(), file.size());
  return ExifOrientation(source);
}

}  // namespace

// Every orientation in both byte orders, behind a JFIF segment and an XMP block in APP1
// (the search goes on past an APP1 that is not EXIF), maps to its turn.
TEST(ExifOrientation, HandBuiltBothByteOrders) {
  const Bytes xmp = Segment(0xE1, {'h', 't', 't', 'p', ':', '/', '/', 'n', 's', 0, '<', 'x', '/', '>'});
  for (bool little : {true, false}) {
    const Tiff tiff(little);
    for (uint32_t o = 1; o <= 8; ++o) {
      const Bytes file = Jpeg({kJfif, xmp, Segment(0xE1, ExifPayload(tiff.WithOrientation(o)))});
      MemoryByteSource source(file.data(), file.size());
      EXPECT_EQ(int32_t(o), ExifOrientation(source)) << (little ? "II " : "MM ") << o;
      EXPECT_EQ(kTurnOf[o], ExifRotationDegrees(source)) << o;
    }
  }
  EXPECT_EQ(6, OrientationOf(Jpeg({Segment(0xE1, ExifPayload(Tiff(true).WithOrientation(6)))})));
}

// Files that ImageMagick turns with -orient: it rewrites the tag of an EXIF block in the
// block's own byte order. Each is shown as ImageMagick's -auto-orient shows it upright,
// drawn by the screen renderer at our turn; the mirrored ones keep their left-right mirror.
TEST(ExifOrientation, WrittenByImageMagickAndShownUpright) {
  if (!ts::HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  // 8 x 6 pixels, each of its own colour, so that every turn and mirror shows.
  std::string ppm = "P6 8 6 255\n";
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ppm += {char(x * 30), char(y * 40), char(200 - x * 10 - y * 10)};
  ts::WriteFile(ts::Path("stored.ppm"), Bytes(ppm.begin(), ppm.end()));
  const char* const names[9] = {"",         "TopLeft",  "TopRight",    "BottomRight", "BottomLeft",
                                "LeftTop",  "RightTop", "RightBottom", "LeftBottom"};
  for (bool little : {true, false}) {
    const std::string order = little ? "ii" : "mm";
    ts::WriteFile(ts::Path("exif_" + order + ".bin"), ExifPayload(Tiff(little).WithOrientation(1)));
    ASSERT_TRUE(ts::Convert("stored.ppm -quality 100 -profile APP1:exif_" + order + ".bin base_" + order + ".jpg"));
    for (int o = 1; o <= 8; ++o) {
      const std::string file = "turned_" + order + std::to_string(o) + ".jpg";
      ASSERT_TRUE(ts::Convert("base_" + order + ".jpg -orient " + names[o] + " " + file));
      const Bytes bytes = ts::ReadWholeFile(ts::Path(file));
      ASSERT_EQ(o, OrientationOf(bytes)) << order << " " << names[o];

      const ts::Rgb stored = ts::ReferenceRgb(ts::Path(file));
      const bool mirrored = o == 2 || o == 4 || o == 5 || o == 7;
      const ts::Rgb upright = ts::ReferenceRgb(ts::Path(file), mirrored ? "-auto-orient -flop" : "-auto-orient");
      ASSERT_EQ(8, stored.width);
      // The stored pixels as a bottom-up 24-bit picture, drawn at our turn on a screen of
      // the upright size.
      std::vector<uint8_t> info(BitmapInfoBytes(24), 0);
      auto* header = reinterpret_cast<RBitmapInfoHeader*>(info.data());
      *header = {40, stored.width, stored.height, 1, 24, 0, 0, 0, 0, 0, 0};
      const size_t rowBytes = static_cast<size_t>(DibRowBytes(24, static_cast<uint64_t>(stored.width)));
      std::vector<uint8_t> pixels(rowBytes * static_cast<size_t>(stored.height));
      for (int32_t y = 0; y < stored.height; ++y)
        for (int32_t x = 0; x < stored.width; ++x) {
          const uint8_t* rgb = &stored.pixels[3 * static_cast<size_t>(y * stored.width + x)];
          uint8_t* p = pixels.data() + rowBytes * static_cast<size_t>(stored.height - 1 - y) + 3 * x;
          p[0] = rgb[2], p[1] = rgb[1], p[2] = rgb[0];
        }
      tagRDIBIMG record{};
      ResetRecord(record);
      record.info = header;
      record.pixels = pixels.data();
      OverrideScreenSize(upright.width, upright.height);
      ScreenRenderer renderer;
      ASSERT_TRUE(renderer.Create());
      ASSERT_TRUE(renderer.Draw(record, {0, 0, stored.width, stored.height}, {0, 0, upright.width, upright.height},
                                RotationForExifOrientation(o)));
      ts::Rgb shown{upright.width, upright.height, {}};
      for (int32_t y = 0; y < upright.height; ++y)
        for (int32_t x = 0; x < upright.width; ++x) {
          const uint8_t* p = renderer.PixelAt(x, y);
          shown.pixels.insert(shown.pixels.end(), {p[2], p[1], p[0]});
        }
      ts::ExpectSamePicture(upright, shown, order + " " + names[o]);
      OverrideScreenSize(0, 0);
    }
  }
}

// Hostile EXIF blocks give 0 and read nothing outside the block: offsets past the end, an
// IFD that claims more entries than there are, an IFD at the header (whose "II" reads as
// 18761 entries), counts of 2^32 - 1, wrong types and values out of range.
TEST(ExifOrientation, HostileBlocks) {
  for (bool little : {true, false}) {
    const Tiff tiff(little);
    const IfdEntry width{0x0100, kLong, 1, 8};
    const IfdEntry orientation{0x0112, kShort, 1, 6};
    const std::vector<Bytes> blocks = {
        tiff.Block({orientation}, 1, 0xFFFFFFF0u),
        tiff.Block({orientation}, 1, 0xFFFFFFFFu),
        tiff.Block({orientation}, 1, 8 + 2 + 12 + 4 - 1),  // the IFD's count half there
        tiff.Block({width}, 0xFFFF),
        tiff.Block({width}, 1, 0),                         // the IFD at the header: no loop
        tiff.Block({width}, 1, 8, 8),                      // the next IFD is itself: never followed
        tiff.Block({{0x0112, kShort, 0xFFFFFFFFu, 6}}, 1),
        tiff.Block({{0x0112, kShort, 2, 6}}, 1),
        tiff.Block({{0x0112, kLong, 1, 6}}, 1),
        tiff.Block({{0x0112, kShort, 1, 0}}, 1),
        tiff.Block({{0x0112, kShort, 1, 9}}, 1),
        tiff.Block({{0x0112, kShort, 1, 0xFFFF}}, 1),
        Bytes{'I', 'I', 42},
        Bytes{},
    };
    for (size_t i = 0; i < blocks.size(); ++i) {
      const Bytes file = ExifJpeg(blocks[i]);
      CountingSource source(file);
      EXPECT_EQ(0, ExifOrientation(source)) << (little ? "II " : "MM ") << i;
    }
    // The same orientation entry is found once the IFD is where it says.
    EXPECT_EQ(6, OrientationOf(ExifJpeg(tiff.Block({width, orientation}, 2))));
  }
  Bytes wrongOrder = Tiff(true).WithOrientation(6);
  wrongOrder[1] = 'M';
  EXPECT_EQ(0, OrientationOf(ExifJpeg(wrongOrder)));
  Bytes wrongMagic = Tiff(false).WithOrientation(6);
  wrongMagic[3] = 43;
  EXPECT_EQ(0, OrientationOf(ExifJpeg(wrongMagic)));
}

// The markers are walked with every length bounded: lengths below 2, segments that run past
// the end, files cut short, runs of fill bytes, EXIF after the scan and files that are no
// JPEG all give 0; the search stops after 64 segments.
TEST(ExifOrientation, HostileMarkers) {
  const Bytes exif = Segment(0xE1, ExifPayload(Tiff(true).WithOrientation(8)));
  EXPECT_EQ(8, OrientationOf(Jpeg({exif})));
  for (uint8_t length : {0, 1}) EXPECT_EQ(0, OrientationOf({0xFF, 0xD8, 0xFF, 0xE0, 0, length, 0xFF, 0xE1}));
  Bytes pastEnd = Jpeg({exif});
  pastEnd.resize(2 + 4 + 20);  // the APP1 says more than there is
  EXPECT_EQ(0, OrientationOf(pastEnd));
  for (size_t cut : {0, 1, 2, 3, 5}) EXPECT_EQ(0, OrientationOf(Bytes(pastEnd.begin(), pastEnd.begin() + cut)));

  Bytes filled = {0xFF, 0xD8};
  filled.insert(filled.end(), 8, 0xFF);
  filled.insert(filled.end(), exif.begin(), exif.end());
  EXPECT_EQ(8, OrientationOf(filled));  // a few fill bytes before a marker are allowed
  Bytes flooded = {0xFF, 0xD8};
  flooded.insert(flooded.end(), 100000, 0xFF);
  CountingSource floodedSource(flooded);
  EXPECT_EQ(0, ExifOrientation(floodedSource));
  EXPECT_LT(floodedSource.bytesRead, 1000u);

  Bytes afterScan = Jpeg({kJfif});
  afterScan.insert(afterScan.end() - 2, exif.begin(), exif.end());
  EXPECT_EQ(0, OrientationOf(afterScan));

  std::vector<Bytes> segments(63, Segment(0xE2, {1, 2, 3}));
  segments.push_back(exif);
  EXPECT_EQ(8, OrientationOf(Jpeg(segments)));
  segments.insert(segments.begin(), Segment(0xE2, {1}));
  EXPECT_EQ(0, OrientationOf(Jpeg(segments)));

  EXPECT_EQ(0, OrientationOf({}));
  EXPECT_EQ(0, OrientationOf({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}));
  Bytes inDisguise = exif;  // an EXIF block without the start of an image
  EXPECT_EQ(0, OrientationOf(inDisguise));
}

// Only the first markers are read: large segments before the EXIF block are skipped by
// their lengths, and the scan of a large file is never read.
TEST(ExifOrientation, ReadsOnlyTheFirstMarkers) {
  const Bytes exif = Segment(0xE1, ExifPayload(Tiff(false).WithOrientation(3)));
  const Bytes big = Segment(0xE2, Bytes(65000, 0x55));
  const Bytes withBig = Jpeg({kJfif, big, big, big, exif}, 2000000);
  CountingSource source(withBig);
  EXPECT_EQ(3, ExifOrientation(source));
  EXPECT_LT(source.bytesRead, 200u);

  const Bytes plain = Jpeg({kJfif}, 2000000);
  CountingSource plainSource(plain);
  EXPECT_EQ(0, ExifOrientation(plainSource));
  EXPECT_LT(plainSource.bytesRead, 40u);
}

// ---- The album -------------------------------------------------------------------------------

namespace {

// A temporary folder given as a device path.
class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    std::error_code ec;
    do native_ = std::filesystem::temp_directory_path() / ("crv-exif-test-" + std::to_string(rd()));
    while (!std::filesystem::create_directory(native_, ec));
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(native_, ec);
  }
  u16 Path(const u16& relative = u16()) const {
    u16 p = native_.u16string() + (relative.empty() ? u"" : u"\\" + relative);
    std::replace(p.begin(), p.end(), u'/', u'\\');
    return p;
  }
  void Write(const u16& relative, const Bytes& bytes) const {
    u16 r(relative);
    std::replace(r.begin(), r.end(), u'\\', u'/');
    const std::filesystem::path file = native_ / r;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  std::filesystem::path native_;
};

const AlbumItem* Named(const PictureAlbum& album, const u16& name) {
  for (const auto& item : album.Items())
    if (item->FileName() == name) return item.get();
  return nullptr;
}

}  // namespace

// A JPEG added from a folder or by itself starts at the turn its EXIF orientation asks for;
// other files and JPEGs without one start at 0; an album file's stored rotation wins.
TEST(AlbumExif, NewJpegItemsStartUpright) {
  RegisterPictureSources();
  SetMediaMode(false);
  ReaderRegistry registry(nullptr);
  registry.Build();
  TempFolder folder;
  const Tiff ii(true), mm(false);
  folder.Write(u"turned.jpg", ExifJpeg(ii.WithOrientation(6)));
  folder.Write(u"upside.JPEG", ExifJpeg(mm.WithOrientation(3)));
  folder.Write(u"mirror.jpe", ExifJpeg(ii.WithOrientation(7)));
  folder.Write(u"plain.jpg", Jpeg({kJfif}));
  folder.Write(u"picture.ppm", ExifJpeg(ii.WithOrientation(6)));  // not read as a JPEG
  folder.Write(u"sub\\deep.jpg", ExifJpeg(mm.WithOrientation(8)));

  PictureAlbum album(registry);
  ASSERT_EQ(6, album.AddPath(folder.Path(), false, true));
  const std::pair<u16, int32_t> expected[] = {{u"turned.jpg", 90}, {u"upside.JPEG", 180}, {u"mirror.jpe", 270},
                                              {u"plain.jpg", 0},   {u"picture.ppm", 0},   {u"deep.jpg", 270}};
  for (const auto& [name, rotation] : expected) {
    const AlbumItem* item = Named(album, name);
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(rotation, item->Fixed().rotation);
    EXPECT_EQ(kViewStateUnset, item->Fixed().viewFlags);
  }
  EXPECT_EQ(90, album.AddFile(u"turned.jpg")->Fixed().rotation);
  EXPECT_EQ(0, album.AddFile(u"missing.jpg")->Fixed().rotation);

  // The user turned one back; the album file keeps that.
  album.Remove(album.Count() - 1);
  album.Remove(album.Count() - 1);
  const_cast<AlbumItem*>(Named(album, u"turned.jpg"))->Fixed().rotation = 0;
  ASSERT_EQ(kResultOk, album.SaveTo(folder.Path(u"kept.mab")));
  PictureAlbum reopened(registry);
  ASSERT_EQ(kResultOk, reopened.Open(folder.Path(u"kept.mab")));
  ASSERT_NE(nullptr, Named(reopened, u"turned.jpg"));
  EXPECT_EQ(0, Named(reopened, u"turned.jpg")->Fixed().rotation);
  EXPECT_EQ(180, Named(reopened, u"upside.JPEG")->Fixed().rotation);
}
