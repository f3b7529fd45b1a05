#include "player/pictures/thumbnail_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include "player/base/tests/temp_folder.h"
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/pictures/formats/picture_sources.h"

using namespace crv;

namespace {

// A temporary folder, given to the album as a device path with backslashes; Native turns the
// album's device paths back into the native ones the loader opens.
class PictureFolder : public testing_support::TempFolder {
 public:
  PictureFolder() : TempFolder("crv-thumbnail-test") {}
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    TempFolder::Write(FromUtf8(name), bytes);
  }
  static u16 Native(u16 path) {
    for (auto& c : path)
      if (c == u'\\') c = u'/';
    return path;
  }
};

// A binary PPM whose channel values are not multiples of 16.
std::vector<uint8_t> Ppm(int width, int height) {
  const std::string header = "P6 " + std::to_string(width) + " " + std::to_string(height) + " 255\n";
  std::vector<uint8_t> f(header.begin(), header.end());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) f.insert(f.end(), {uint8_t(x * 3 + 1), uint8_t(y * 5 + 2), uint8_t(x + y + 3)});
  return f;
}

int32_t ThumbWidth(const AlbumItem& item) { return item.Thumbnail().Info()->width; }
int32_t ThumbHeight(const AlbumItem& item) { return item.Thumbnail().Info()->height; }

// Bitmap creation that fails on the asked calls among those of a given width.
struct FailingDibs {
  static int32_t width;
  static std::vector<int> failOn;  // 1-based among the calls of that width
  static int calls;
  static void* Create(void* dc, const void* info, uint32_t usage, void** bits, void* section, uint32_t offset) {
    if (static_cast<const RBitmapInfoHeader*>(info)->width == width) {
      ++calls;
      for (int n : failOn)
        if (n == calls) return nullptr;
    }
    return PlatformCreateDib(dc, info, usage, bits, section, offset);
  }
  static void Install(int32_t ofWidth, std::vector<int> failing) {
    width = ofWidth;
    failOn = std::move(failing);
    calls = 0;
    AllocHooks hooks;
    hooks.createDib = &Create;
    InstallAllocHooks(hooks);
  }
};
int32_t FailingDibs::width = 0;
std::vector<int> FailingDibs::failOn;
int FailingDibs::calls = 0;

class ThumbnailLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterPictureSources();
    SetMediaMode(false);
    registry_.Build();
    loader_.SetPathMapper(&PictureFolder::Native);
  }
  void TearDown() override { InstallAllocHooks(AllocHooks()); }

  // The folder's pictures as an album (sorted by name).
  void Fill(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
    for (const auto& file : files) folder_.Write(file.first, file.second);
    ASSERT_EQ(static_cast<int32_t>(files.size()), album_.AddPath(folder_.Path(), false, false));
  }
  void Settings(ThumbnailSettings settings) { loader_.SetSettings(settings); }
  // Gives item `index` a loaded picture, as viewing it would.
  void HoldPicture(int32_t index) {
    auto holder = std::make_unique<ImageHolder>(registry_);
    ASSERT_TRUE(holder->Load(PictureFolder::Native(album_.ItemPath(index, false)).c_str(), 0));
    album_.Item(index)->SetPicture(std::move(holder));
  }
  int32_t ResultOfLoading(const std::string& name) {
    ImageHolder holder(registry_);
    holder.Load(PictureFolder::Native(folder_.Path() + u"\\" + FromUtf8(name)).c_str(), 0);
    return holder.Result();
  }

  ReaderRegistry registry_{nullptr};
  PictureFolder folder_;
  PictureAlbum album_{registry_};
  ThumbnailLoader loader_{album_, registry_};
};

}  // namespace

// Every item gets its thumbnail fitted into the box (never enlarged), the picture's size, depth
// and info text, and a view state from the settings when it had none.
TEST_F(ThumbnailLoaderTest, MakesEveryThumbnailWithTheItemsViewState) {
  Fill({{"a.ppm", Ppm(64, 48)}, {"b.ppm", Ppm(8, 8)}, {"c.ppm", Ppm(30, 60)}});
  album_.Item(1)->Fixed().viewFlags = 0;  // viewed before: its state stays
  album_.Item(1)->Fixed().rotation = 180;
  ThumbnailSettings settings;
  settings.box = {32, 32};
  settings.opening = {true, kOpenAutoLandscape};
  Settings(settings);

  for (int32_t i = 0; i < 3; ++i) {
    const ThumbnailResult result = loader_.LoadNext();
    EXPECT_EQ(ThumbnailOutcome::kMade, result.outcome) << i;
    EXPECT_EQ(i, result.index);
  }
  EXPECT_EQ(ThumbnailOutcome::kNoneLeft, loader_.LoadNext().outcome);

  const AlbumItem& a = *album_.Item(0);
  EXPECT_EQ(32, ThumbWidth(a));
  EXPECT_EQ(24, ThumbHeight(a));
  EXPECT_EQ(8, ThumbWidth(*album_.Item(1)));
  EXPECT_EQ(16, ThumbWidth(*album_.Item(2)));
  EXPECT_EQ(32, ThumbHeight(*album_.Item(2)));
  EXPECT_EQ(64u, a.Fixed().width);
  EXPECT_EQ(48u, a.Fixed().height);
  EXPECT_EQ(24, a.Fixed().bitsPerPixel);
  ImageHolder direct(registry_);
  direct.Load(PictureFolder::Native(album_.ItemPath(0, false)).c_str(), 0);
  EXPECT_EQ(u16(direct.Record().infoText), a.InfoText());

  EXPECT_EQ(kViewZoomToFit | kViewAutoLandscape, a.Fixed().viewFlags);
  EXPECT_EQ(1.0f, a.Fixed().Zoom());
  EXPECT_EQ(0, a.Fixed().rotation);
  EXPECT_EQ(0u, album_.Item(1)->Fixed().viewFlags);
  EXPECT_EQ(180, album_.Item(1)->Fixed().rotation);
  EXPECT_EQ(kItemNotLoaded, a.LoadState()) << "the picture itself is not kept";
  EXPECT_FALSE(a.HoldsPicture());
}

TEST_F(ThumbnailLoaderTest, TheLandscapeOpeningTurnsAQuarterWithoutFitting) {
  Fill({{"a.ppm", Ppm(10, 10)}});
  ThumbnailSettings settings;
  settings.opening = {false, kOpenLandscape};
  Settings(settings);
  ASSERT_EQ(ThumbnailOutcome::kMade, loader_.LoadNext().outcome);
  EXPECT_EQ(0u, album_.Item(0)->Fixed().viewFlags);
  EXPECT_EQ(90, album_.Item(0)->Fixed().rotation);
}

// A picture that cannot be read keeps its item, marked failed with the result, and is not
// tried again; a missing file fails with "cannot open".
TEST_F(ThumbnailLoaderTest, FailuresAreKeptForTheCellAndNotRetried) {
  const std::string header = "P6 4 4 999\n";  // a channel maximum above 255
  std::vector<uint8_t> broken(header.begin(), header.end());
  broken.resize(broken.size() + 48, 7);
  Fill({{"a.ppm", broken}, {"b.ppm", Ppm(4, 4)}});
  album_.AddFile(u"gone.ppm");

  ThumbnailResult result = loader_.LoadNext();
  EXPECT_EQ(ThumbnailOutcome::kFailed, result.outcome);
  EXPECT_EQ(0, result.index);
  EXPECT_EQ(kItemFailed, album_.Item(0)->LoadState());
  EXPECT_EQ(ResultOfLoading("a.ppm"), album_.Item(0)->LastResult());
  EXPECT_NE(kResultOk, album_.Item(0)->LastResult());
  EXPECT_TRUE(album_.Item(0)->Thumbnail().Empty());

  EXPECT_EQ(ThumbnailOutcome::kMade, loader_.LoadNext().outcome);
  result = loader_.LoadNext();
  EXPECT_EQ(ThumbnailOutcome::kFailed, result.outcome);
  EXPECT_EQ(2, result.index);
  EXPECT_EQ(kResultCannotOpen, album_.Item(2)->LastResult());
  EXPECT_EQ(ThumbnailOutcome::kNoneLeft, loader_.LoadNext().outcome);
  EXPECT_EQ(ThumbnailOutcome::kNoneLeft, loader_.LoadItem(0).outcome);
}

// The search starts where the view asks (the first item in sight) and goes round; one item
// can be made on its own.
TEST_F(ThumbnailLoaderTest, LoadingStartsWhereAskedAndGoesRound) {
  Fill({{"a.ppm", Ppm(4, 4)}, {"b.ppm", Ppm(4, 4)}, {"c.ppm", Ppm(4, 4)}, {"d.ppm", Ppm(4, 4)}});
  EXPECT_EQ(1, loader_.LoadItem(1).index);
  EXPECT_EQ(ThumbnailOutcome::kNoneLeft, loader_.LoadItem(1).outcome) << "it has one";
  EXPECT_EQ(ThumbnailOutcome::kNoneLeft, loader_.LoadItem(7).outcome);
  loader_.StartFrom(2);
  EXPECT_EQ(2, loader_.LoadNext().index);
  EXPECT_EQ(3, loader_.LoadNext().index);
  EXPECT_EQ(0, loader_.LoadNext().index);
  EXPECT_EQ(ThumbnailOutcome::kNoneLeft, loader_.LoadNext().outcome);
}

// Asked to stop, the loader leaves the item as it was; an item that left the album during
// its load gets nothing written anywhere.
TEST_F(ThumbnailLoaderTest, StoppingAndVanishedItemsWriteNothing) {
  Fill({{"a.ppm", Ppm(4, 4)}, {"b.ppm", Ppm(6, 6)}, {"c.ppm", Ppm(8, 8)}});
  EXPECT_EQ(ThumbnailOutcome::kAborted, loader_.LoadNext([] { return true; }).outcome);
  EXPECT_TRUE(album_.Item(0)->Thumbnail().Empty());
  EXPECT_NE(kItemFailed, album_.Item(0)->LoadState());

  loader_.StartFrom(0);
  const ThumbnailResult gone = loader_.LoadNext([this] {
    album_.Remove(0);  // the window thread deletes the item being loaded
    return false;
  });
  EXPECT_EQ(ThumbnailOutcome::kItemGone, gone.outcome);
  ASSERT_EQ(2, album_.Count());
  EXPECT_TRUE(album_.Item(0)->Thumbnail().Empty());
  EXPECT_TRUE(album_.Item(1)->Thumbnail().Empty());
  EXPECT_EQ(0u, album_.Item(0)->Fixed().width);
}

// A load that runs out of memory is tried three more times, each after releasing cached
// pictures (the largest first, never the current one); then the item is marked failed with
// result 1. A retry that gets its memory makes the thumbnail.
TEST_F(ThumbnailLoaderTest, MemoryFailuresReleaseCachedPicturesAndRetry) {
  Fill({{"a.ppm", Ppm(64, 48)}, {"b.ppm", Ppm(20, 20)}, {"c.ppm", Ppm(30, 30)}});
  HoldPicture(1);
  HoldPicture(2);
  album_.SetCurrent(2);
  ThumbnailSettings settings;
  settings.box = {32, 32};  // so that only the loads make bitmaps 64 wide
  Settings(settings);
  FailingDibs::Install(64, {1, 2, 3, 4});

  const ThumbnailResult result = loader_.LoadItem(0);
  EXPECT_EQ(ThumbnailOutcome::kFailed, result.outcome);
  EXPECT_EQ(1 + kThumbnailMemoryRetries, FailingDibs::calls);
  EXPECT_EQ(kResultNoMemory, album_.Item(0)->LastResult());
  EXPECT_FALSE(album_.Item(1)->HoldsPicture()) << "released to make room";
  EXPECT_TRUE(album_.Item(2)->HoldsPicture()) << "the current item keeps its picture";

  album_.Item(0)->SetLoadState(kItemNotLoaded);
  HoldPicture(1);
  FailingDibs::Install(64, {1, 2});
  EXPECT_EQ(ThumbnailOutcome::kMade, loader_.LoadItem(0).outcome);
  EXPECT_EQ(3, FailingDibs::calls);
  EXPECT_FALSE(album_.Item(1)->HoldsPicture());
}

// Fitting that fails once is tried again after releasing twice the picture's memory.
TEST_F(ThumbnailLoaderTest, AFailedFitIsTriedOnceMoreAfterReleasingMemory) {
  Fill({{"a.ppm", Ppm(64, 48)}, {"b.ppm", Ppm(20, 20)}, {"c.ppm", Ppm(64, 64)}});
  HoldPicture(1);
  album_.SetCurrent(2);
  ThumbnailSettings settings;
  settings.box = {32, 32};  // the copy is 32 x 24
  Settings(settings);
  FailingDibs::Install(32, {1});
  EXPECT_EQ(ThumbnailOutcome::kMade, loader_.LoadItem(0).outcome);
  EXPECT_EQ(2, FailingDibs::calls);
  EXPECT_FALSE(album_.Item(1)->HoldsPicture());

  FailingDibs::Install(32, {1, 2});  // and twice: the item shows why
  EXPECT_EQ(ThumbnailOutcome::kFailed, loader_.LoadItem(2).outcome) << "c's copy is 32 wide too";
}

// With the display optimisation the thumbnail shows only the top 4 bits of each channel.
TEST_F(ThumbnailLoaderTest, TheDisplayOptimisationReducesBeforeFitting) {
  Fill({{"a.ppm", Ppm(16, 16)}, {"b.ppm", Ppm(16, 16)}});
  ThumbnailSettings settings;
  settings.box = {16, 16};
  Settings(settings);
  ASSERT_EQ(ThumbnailOutcome::kMade, loader_.LoadItem(0).outcome);
  settings.displayOptimisation = true;
  Settings(settings);
  ASSERT_EQ(ThumbnailOutcome::kMade, loader_.LoadItem(1).outcome);

  const auto reduced = [](const AlbumItem& item) {
    const RBitmapInfoHeader& info = *item.Thumbnail().Info();
    const uint64_t row = DibRowBytes(info.bitCount, static_cast<uint64_t>(info.width));
    for (int32_t y = 0; y < info.height; ++y)
      for (int32_t x = 0; x < info.width * 3; ++x)
        if (item.Thumbnail().Pixels()[y * row + x] % 16) return false;
    return true;
  };
  EXPECT_FALSE(reduced(*album_.Item(0)));
  EXPECT_TRUE(reduced(*album_.Item(1)));
}

// A thumbnail turns as the picture view turns its picture: 90 puts the bottom-left pixel at
// the top-left, 270 the top-right one, 180 the bottom-right one; sides swap for quarter turns
// and rows stay padded to 4 bytes.
TEST(TurnedThumbnail, CornersGoWhereTheRendererTakesThem) {
  // 3 x 2, bottom-up rows of 12 bytes (9 + 3 padding); each pixel's blue byte names it:
  // top row 1 2 3, bottom row 4 5 6.
  const int32_t w = 3, h = 2;
  std::vector<uint8_t> pixels(12 * 2, 0xEE);
  const uint8_t names[2][3] = {{1, 2, 3}, {4, 5, 6}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = pixels.data() + (h - 1 - y) * 12 + x * 3;
      p[0] = names[y][x], p[1] = 0, p[2] = 0;
    }
  // The turned picture's pixel at (x, y) from the top, by its name.
  auto at = [](const std::vector<uint8_t>& out, int32_t width, int32_t height, int x, int y) {
    const size_t row = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    return out[(height - 1 - y) * row + x * 3];
  };
  struct Case {
    int32_t rotation;
    int32_t width, height;
    uint8_t topLeft, topRight, bottomLeft, bottomRight;
  };
  for (const Case& c : {Case{90, 2, 3, 4, 1, 6, 3}, Case{-270, 2, 3, 4, 1, 6, 3}, Case{180, 3, 2, 6, 4, 3, 1},
                        Case{270, 2, 3, 3, 6, 1, 4}, Case{-90, 2, 3, 3, 6, 1, 4}}) {
    SCOPED_TRACE(c.rotation);
    int32_t width = w, height = h;
    const std::vector<uint8_t> out = TurnedThumbnailPixels(pixels.data(), width, height, c.rotation);
    ASSERT_EQ(c.width, width);
    ASSERT_EQ(c.height, height);
    ASSERT_EQ(((static_cast<size_t>(width) * 3 + 3) & ~size_t{3}) * height, out.size());
    EXPECT_EQ(c.topLeft, at(out, width, height, 0, 0));
    EXPECT_EQ(c.topRight, at(out, width, height, width - 1, 0));
    EXPECT_EQ(c.bottomLeft, at(out, width, height, 0, height - 1));
    EXPECT_EQ(c.bottomRight, at(out, width, height, width - 1, height - 1));
  }
  int32_t width = w, height = h;
  EXPECT_TRUE(TurnedThumbnailPixels(pixels.data(), width, height, 0).empty());
  EXPECT_TRUE(TurnedThumbnailPixels(pixels.data(), width, height, 360).empty());
  EXPECT_EQ(3, width) << "an unturned thumbnail keeps its size";
}
