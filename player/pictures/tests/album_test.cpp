#include "player/pictures/picture_album.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "player/base/bytes.h"
#include "player/base/device_fs.h"
#include "player/base/tests/temp_folder.h"
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/pictures/formats/picture_sources.h"

#ifndef _WIN32
#include <unistd.h>
#endif

using namespace crv;

namespace {

// A temporary folder, given as a device path with backslashes.
class AlbumFolder : public testing_support::TempFolder {
 public:
  AlbumFolder() : TempFolder("crv-album-test") {}
};

// A binary PPM picture (a format the player reads) of width x height.
std::vector<uint8_t> Ppm(int width, int height) {
  const std::string header = "P6 " + std::to_string(width) + " " + std::to_string(height) + " 255\n";
  std::vector<uint8_t> f(header.begin(), header.end());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) f.insert(f.end(), {uint8_t(x * 3), uint8_t(y * 5), uint8_t(x + y)});
  return f;
}

// An album file built field by field, independently of the writer.
struct AlbumBytes {
  std::vector<uint8_t> b;
  AlbumBytes& Text(const char* s, size_t n) {
    b.insert(b.end(), s, s + n);
    return *this;
  }
  AlbumBytes& U32(uint32_t v) {
    AppendLe32(b, v);
    return *this;
  }
  AlbumBytes& Str(const u16& s) {
    U32(static_cast<uint32_t>(2 * s.size()));
    for (char16_t c : s) AppendLe16(b, c);
    return *this;
  }
  AlbumBytes& Bytes(const std::vector<uint8_t>& more) {
    b.insert(b.end(), more.begin(), more.end());
    return *this;
  }
  AlbumBytes& Header(uint32_t count, uint32_t options = 0) {
    return Text("RAB 100", 7).U32(count).U32(options).Str(u"\\My Documents").Str(u"\\Music\\theme.wav");
  }
};

// A fixed part with view state set and the given attachment slots {size, type}.
std::vector<uint8_t> FixedPart(std::vector<std::array<uint32_t, 2>> slots = {}) {
  std::vector<uint8_t> f(kAlbumItemFixedBytes, 0);
  PutLe32(f.data() + 0, 640);
  PutLe32(f.data() + 4, 480);
  f[8] = 24;
  PutLe32(f.data() + 20, kViewStateUnset);
  PutLe32(f.data() + 24, 0x3F800000u);
  for (size_t s = 0; s < slots.size(); ++s) {
    PutLe32(f.data() + 48 + 12 * s, slots[s][0]);
    PutLe32(f.data() + 52 + 12 * s, slots[s][1]);
    PutLe32(f.data() + 56 + 12 * s, 0xDEADBEEF);  // a device pointer: meaningless on disk
  }
  return f;
}

// A thumbnail block: T, the 44-byte info block and `pixels` bytes.
std::vector<uint8_t> Thumbnail(int32_t width, int32_t height, uint16_t bits, uint32_t sizeImage, uint32_t total,
                               size_t pixels, uint32_t headerSize = 40) {
  std::vector<uint8_t> t;
  AppendLe32(t, total);
  AppendLe32(t, headerSize);
  AppendLe32(t, static_cast<uint32_t>(width));
  AppendLe32(t, static_cast<uint32_t>(height));
  AppendLe16(t, 1);
  AppendLe16(t, bits);
  AppendLe32(t, 0);
  AppendLe32(t, sizeImage);
  for (int i = 0; i < 5; ++i) AppendLe32(t, 0);
  for (size_t i = 0; i < pixels; ++i) t.push_back(static_cast<uint8_t>(i * 7));
  return t;
}

int32_t Load(PictureAlbum& album, const std::vector<uint8_t>& bytes) {
  MemoryByteSource source(bytes.data(), bytes.size());
  return album.Serialize(source);
}

std::vector<uint8_t> Saved(const PictureAlbum& album) {
  std::vector<uint8_t> out;
  album.Serialize(out);
  return out;
}

class AlbumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterPictureSources();
    SetMediaMode(false);
    registry_.Build();
  }
  // An album of the folder's files with a thumbnail made from the first picture, two kept
  // attachments, a sound and bytes of the fixed part that the program does not know.
  void FillAlbum(PictureAlbum& album) {
    folder_.Write(u"one.ppm", Ppm(64, 48));
    folder_.Write(u"one.wav", {1, 2, 3});
    folder_.Write(u"two.ppm", Ppm(8, 8));
    ASSERT_EQ(2, album.AddPath(folder_.Path(), false, false));
    // The picture through the platform's own path (the native stream takes no backslashes).
    ImageHolder holder(registry_);
    ASSERT_TRUE(holder.Load(folder_.Native(u"one.ppm").u16string().c_str(), 0));
    const FitSize box{40, 30};
    RBitmapInfoHeader* info = nullptr;
    uint8_t* pixels = nullptr;
    RBitmapHandle bitmap = holder.FitCopy(&box, &info, &pixels);
    ASSERT_NE(nullptr, bitmap);
    AlbumItem& first = *album.Item(0);
    first.Thumbnail().Adopt(bitmap, info, pixels);
    ASSERT_TRUE(first.SetAttachment(kAttachmentDrawing, {9, 8, 7, 6, 5}));
    ASSERT_TRUE(first.SetAttachment(kAttachmentDisplay, std::vector<uint8_t>(16, 0x42)));
    first.Fixed().unknown9 = 0x11;
    first.Fixed().unknown96[100] = 0x22;
    first.Fixed().rotation = 270;
    first.Fixed().slideDelay = 12;
    album.SetOptions(kAlbumSoundEach | kAlbumRepeatSound);
  }
  ReaderRegistry registry_{nullptr};
  AlbumFolder folder_;
};

// ---- Reading ---------------------------------------------------------------------------------

// A magic that differs in any one byte is another version (10); the header alone, with no
// items, is a valid album.
TEST_F(AlbumTest, MagicAndEmptyAlbum) {
  const std::vector<uint8_t> empty = AlbumBytes().Header(0, kAlbumSoundWhole).b;
  PictureAlbum album(registry_);
  ASSERT_EQ(kResultOk, Load(album, empty));
  EXPECT_EQ(0, album.Count());
  EXPECT_EQ(u"\\My Documents", album.Folder());
  EXPECT_EQ(u"\\Music\\theme.wav", album.Sound());
  EXPECT_EQ(uint32_t{kAlbumSoundWhole}, album.Options());
  for (size_t i = 0; i < 7; ++i) {
    std::vector<uint8_t> changed = empty;
    changed[i] ^= 1;  // "RAB 101" among them
    EXPECT_EQ(kResultVersion, Load(album, changed)) << i;
  }
  EXPECT_EQ(kResultVersion, Load(album, {'R', 'A', 'B'}));
}

// A 24-bit 40 x 30 thumbnail has 3600 bytes of pixels: T = 3644 loads; T = 3643, a header
// of another size or an image size that does not match its rows refuse the whole album.
TEST_F(AlbumTest, ThumbnailChecks) {
  auto album_with = [](const std::vector<uint8_t>& thumbnail) {
    AlbumBytes a;
    a.Header(2);
    a.Str(u"first.jpg").Str(u"").Bytes(FixedPart()).U32(0);  // a good item before the bad one
    a.Str(u"second.jpg").Str(u"").Bytes(FixedPart()).Bytes(thumbnail);
    return a.b;
  };
  PictureAlbum album(registry_);
  ASSERT_EQ(kResultOk, Load(album, album_with(Thumbnail(40, 30, 24, 3600, 3644, 3600))));
  ASSERT_EQ(2, album.Count());
  const AlbumThumbnail& thumbnail = album.Item(1)->Thumbnail();
  ASSERT_FALSE(thumbnail.Empty());
  EXPECT_EQ(40, thumbnail.Info()->width);
  EXPECT_EQ(30, thumbnail.Info()->height);
  EXPECT_EQ(24, thumbnail.Info()->bitCount);
  EXPECT_EQ(uint64_t{3600}, thumbnail.ImageBytes());
  EXPECT_EQ(7 * 3599 % 256, int(thumbnail.Pixels()[3599]));
  EXPECT_TRUE(album.Item(0)->Thumbnail().Empty());

  const std::vector<uint8_t> bad[] = {
      Thumbnail(40, 30, 24, 3600, 3643, 3599),   // T one short
      Thumbnail(40, 30, 24, 3600, 3645, 3601),   // T one long
      Thumbnail(40, 30, 24, 3600, 3644, 3600, 41),
      Thumbnail(40, 30, 24, 3599, 3644, 3600),   // image size not the rows'
      Thumbnail(40, 30, 24, 3600, 3644, 3000),   // pixels cut short by the end of the file
      Thumbnail(0, 30, 24, 0, 44, 0),
      Thumbnail(40, 30, 7, 3600, 3644, 3600),    // no such depth
      Thumbnail(0x40000000, 4, 32, 0, 44, 0),    // an image size past 32 bits (0 in 32-bit arithmetic)
  };
  for (const auto& thumbnailBlock : bad) {
    album.Clear();
    EXPECT_EQ(kResultBadData, Load(album, album_with(thumbnailBlock)));
    EXPECT_EQ(0, album.Count());
  }
}

// Allocation hooks that count the DIB sections made.
int dibsMade = 0;
void* CountingCreateDib(void* dc, const void* info, uint32_t usage, void** bits, void* section, uint32_t offset) {
  ++dibsMade;
  return PlatformCreateDib(dc, info, usage, bits, section, offset);
}

// Lengths and sizes beyond the file or the fields refuse the album (8) before anything is
// made for them: a string longer than 259 characters or of an odd byte count, attachments
// and thumbnails past the end, and more items than the file could hold.
TEST_F(AlbumTest, SizesAreBoundedBeforeAllocation) {
  const u16 longest(259, u'x');
  PictureAlbum album(registry_);
  ASSERT_EQ(kResultOk, Load(album, AlbumBytes().Text("RAB 100", 7).U32(0).U32(0).Str(longest).Str(u"").b));
  EXPECT_EQ(longest, album.Folder());

  AllocHooks hooks;
  hooks.createDib = &CountingCreateDib;
  InstallAllocHooks(hooks);
  dibsMade = 0;
  const std::vector<std::vector<uint8_t>> refused = {
      AlbumBytes().Text("RAB 100", 7).U32(0).U32(0).Str(longest + u"x").Str(u"").b,
      AlbumBytes().Text("RAB 100", 7).U32(0).U32(0).U32(3).Bytes({'a', 0, 'b'}).Str(u"").b,
      AlbumBytes().Text("RAB 100", 7).U32(0).U32(0).U32(0xFFFFFFF0u).b,
      AlbumBytes().Header(1).Str(u"a.jpg").Str(u"").Bytes(FixedPart({{0xFFFFFFF0u, 2}})).b,
      AlbumBytes().Header(1).Str(u"a.jpg").Str(u"").Bytes(FixedPart({{0, 0}, {40, 9}})).U32(0).b,
      AlbumBytes().Header(1).Str(u"a.jpg").Str(u"").Bytes(FixedPart()).Bytes(Thumbnail(40, 30, 24, 3600, 3644, 0)).b,
      AlbumBytes().Header(0x7FFFFFFF).Str(u"a.jpg").Str(u"").Bytes(FixedPart()).U32(0).b,
  };
  for (size_t i = 0; i < refused.size(); ++i) {
    EXPECT_EQ(kResultBadData, Load(album, refused[i])) << i;
    EXPECT_EQ(0, album.Count()) << i;
  }
  EXPECT_EQ(0, dibsMade);
  InstallAllocHooks(AllocHooks());
}

// Every prefix of a whole album is refused cleanly, with no items left.
TEST_F(AlbumTest, CutShortAlbumsAreRefused) {
  PictureAlbum full(registry_);
  FillAlbum(full);
  const std::vector<uint8_t> bytes = Saved(full);
  PictureAlbum album(registry_);
  ASSERT_EQ(kResultOk, Load(album, bytes));
  for (size_t size = 0; size < bytes.size(); ++size) {
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(size));
    const int32_t result = Load(album, cut);
    ASSERT_TRUE(result == kResultBadData || (size < 7 && result == kResultVersion)) << size << ": " << result;
    ASSERT_EQ(0, album.Count()) << size;
  }
}

// ---- Attachments and round trips ---------------------------------------------------------------

// Slots of types 2 and 3 come back byte for byte; a slot of another type is skipped on
// reading (the data after it still lines up) and written as that many zero bytes.
TEST_F(AlbumTest, AttachmentSlots) {
  const std::vector<uint8_t> drawing = {1, 2, 3, 4, 5, 6, 7};
  const std::vector<uint8_t> display(16, 0xA5);
  const std::vector<uint8_t> other = {0xEE, 0xEE, 0xEE};
  AlbumBytes a;
  a.Header(1).Str(u"a.jpg").Str(u"a.wav");
  const size_t fixedAt = a.b.size();
  a.Bytes(FixedPart({{7, 2}, {3, 9}, {0, 0}, {16, 3}})).Bytes(drawing);
  const size_t otherAt = a.b.size();
  a.Bytes(other).Bytes(display).Bytes(Thumbnail(1, 1, 24, 4, 48, 4));
  PictureAlbum album(registry_);
  ASSERT_EQ(kResultOk, Load(album, a.b));
  const AlbumItem& item = *album.Item(0);
  EXPECT_EQ(drawing, item.AttachmentData(0));
  EXPECT_TRUE(item.AttachmentData(1).empty());
  EXPECT_EQ(uint32_t{3}, item.Fixed().slots[1].size);
  EXPECT_EQ(display, item.AttachmentData(3));
  EXPECT_FALSE(item.Thumbnail().Empty());
  EXPECT_EQ(0, item.FindSlot(kAttachmentDrawing));
  EXPECT_EQ(2, item.FindSlot(7));  // the first free slot

  // Written again: the same file but for the device pointers (0) and the other type's bytes.
  std::vector<uint8_t> want = a.b;
  for (size_t s = 0; s < 4; ++s) PutLe32(want.data() + fixedAt + 56 + 12 * s, 0);
  std::fill(want.begin() + static_cast<long>(otherAt), want.begin() + static_cast<long>(otherAt + 3), 0);
  EXPECT_EQ(want, Saved(album));
}

// Saving, loading and saving again gives the same bytes, through real files: thumbnail,
// attachments, sounds, options and the fixed part's unknown bytes all travel.
TEST_F(AlbumTest, SaveLoadSaveIsStable) {
  PictureAlbum album(registry_);
  FillAlbum(album);
  const u16 file = folder_.Path(u"stable.mab");
  ASSERT_EQ(kResultOk, album.SaveTo(file));
  EXPECT_EQ(file, album.FilePath());

  PictureAlbum loaded(registry_);
  ASSERT_EQ(kResultOk, loaded.Open(file));
  ASSERT_EQ(2, loaded.Count());
  EXPECT_EQ(album.Folder(), loaded.Folder());
  EXPECT_EQ(album.Options(), loaded.Options());
  for (int32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(album.Item(i)->Path(), loaded.Item(i)->Path());
    EXPECT_EQ(album.Item(i)->SoundPath(), loaded.Item(i)->SoundPath());
    EXPECT_TRUE(album.Item(i)->Fixed() == loaded.Item(i)->Fixed()) << i;
  }
  const AlbumThumbnail& was = album.Item(0)->Thumbnail();
  const AlbumThumbnail& is = loaded.Item(0)->Thumbnail();
  ASSERT_FALSE(is.Empty());
  EXPECT_EQ(40, is.Info()->width);
  EXPECT_EQ(30, is.Info()->height);
  EXPECT_TRUE(std::equal(was.Pixels(), was.Pixels() + was.ImageBytes(), is.Pixels()));

  ASSERT_EQ(kResultOk, loaded.SaveTo(folder_.Path(u"again.mab")));
  EXPECT_EQ(folder_.Read(u"stable.mab"), folder_.Read(u"again.mab"));
}

// ---- Saving ----------------------------------------------------------------------------------

// The album's name always ends in ".mab"; a new album proposes "New.mab" in its folder.
TEST_F(AlbumTest, SaveNames) {
  EXPECT_EQ(u"\\Pics\\Holiday.mab", ForcedAlbumName(u"\\Pics\\Holiday.jpg"));
  EXPECT_EQ(u"\\Pics\\Holiday.mab", ForcedAlbumName(u"\\Pics\\Holiday"));
  EXPECT_EQ(u"\\Pics\\Holiday.mab", ForcedAlbumName(u"\\Pics\\Holiday.MAB"));
  EXPECT_EQ(u"\\v1.2\\Holiday.mab", ForcedAlbumName(u"\\v1.2\\Holiday"));

  PictureAlbum album(registry_);
  album.SetFolder(u"\\My Documents");
  EXPECT_EQ(u"\\My Documents\\New.mab", album.ProposedSaveName());
  album.AddFile(u"a.jpg");
  ASSERT_EQ(kResultOk, album.SaveTo(folder_.Path(u"Holiday.jpg")));
  EXPECT_TRUE(folder_.Exists(u"Holiday.mab"));
  EXPECT_FALSE(folder_.Exists(u"Holiday.jpg"));
  EXPECT_EQ(folder_.Path(u"Holiday.mab"), album.ProposedSaveName());
}

// A save that fails part-way (a full card) or cannot create its file leaves the previous
// album whole and no new file behind; a read-only album file is replaced.
TEST_F(AlbumTest, FailedSaveKeepsTheOldAlbum) {
  PictureAlbum album(registry_);
  FillAlbum(album);
  const u16 file = folder_.Path(u"keep.mab");
  ASSERT_EQ(kResultOk, album.SaveTo(file));
  const std::vector<uint8_t> before = folder_.Read(u"keep.mab");

  album.Remove(1);
  device_fs::SetWriteFailureAfterForTesting(100);
  EXPECT_EQ(kResultWriteError, album.SaveTo(file));
  device_fs::SetWriteFailureAfterForTesting(-1);
  EXPECT_EQ(before, folder_.Read(u"keep.mab"));
  EXPECT_FALSE(folder_.Exists(u"keep.mab.new"));

  EXPECT_EQ(kResultCannotCreate, album.SaveTo(folder_.Path(u"missing\\x.mab")));

  std::filesystem::permissions(folder_.Native(u"keep.mab"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  ASSERT_EQ(kResultOk, album.SaveTo(file));
  EXPECT_EQ(Saved(album), folder_.Read(u"keep.mab"));
}

#ifndef _WIN32
// In a folder that cannot be written the save fails with 5 and the old album stays.
TEST_F(AlbumTest, ReadOnlyFolderKeepsTheOldAlbum) {
  namespace fs = std::filesystem;
  PictureAlbum album(registry_);
  album.AddFile(u"a.jpg");
  folder_.Write(u"ro\\readme.txt", {});
  ASSERT_EQ(kResultOk, album.SaveTo(folder_.Path(u"ro\\album.mab")));
  const std::vector<uint8_t> before = folder_.Read(u"ro\\album.mab");
  const fs::path ro = folder_.Native(u"ro");
  const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(ro, writable, fs::perm_options::remove);
  if (access(ro.c_str(), W_OK) == 0) {
    fs::permissions(ro, fs::perms::owner_write, fs::perm_options::add);
    GTEST_SKIP() << "this user writes into read-only folders";
  }
  album.AddFile(u"b.jpg");
  EXPECT_EQ(kResultCannotCreate, album.SaveTo(folder_.Path(u"ro\\album.mab")));
  fs::permissions(ro, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(before, folder_.Read(u"ro\\album.mab"));
  EXPECT_FALSE(folder_.Exists(u"ro\\album.mab.new"));
}
#endif

// ---- Filling, sorting, stepping ---------------------------------------------------------------

// A folder with a.ppm and a.wav gives one item with the sound a.wav, stored as bare names,
// and turns the sound mode to "each picture"; subfolders are entered only when recursing,
// never those whose names begin with ".", and their files are stored in full.
TEST_F(AlbumTest, AddFolderFindsPicturesAndSounds) {
  folder_.Write(u"a.ppm", Ppm(2, 2));
  folder_.Write(u"a.wav", {0});
  folder_.Write(u"notes.txt", {0});
  folder_.Write(u"sub\\b.PPM", Ppm(3, 3));
  folder_.Write(u".hidden\\c.ppm", Ppm(3, 3));
  PictureAlbum album(registry_);
  ASSERT_EQ(1, album.AddPath(folder_.Path(), false, false));
  EXPECT_EQ(u"a.ppm", album.Item(0)->Path());
  EXPECT_EQ(u"a.wav", album.Item(0)->SoundPath());
  EXPECT_EQ(folder_.Path(u"a.wav"), album.ItemPath(0, true));
  EXPECT_EQ(uint32_t{kAlbumSoundEach}, album.SoundMode());
  EXPECT_EQ(folder_.Path(), album.Folder());
  EXPECT_EQ(uint32_t(Ppm(2, 2).size()), album.Item(0)->Fixed().fileSize);
  EXPECT_NE(uint64_t{0}, album.Item(0)->Fixed().lastWriteTime);
  EXPECT_EQ(kViewStateUnset, album.Item(0)->Fixed().viewFlags);
  EXPECT_EQ(0, album.Current());

  ASSERT_EQ(2, album.AddPath(folder_.Path(), false, true));
  EXPECT_EQ(u"a.ppm", album.Item(0)->Path());
  EXPECT_EQ(folder_.Path(u"sub\\b.PPM"), album.Item(1)->Path());
  EXPECT_EQ(folder_.Path(u"sub\\b.PPM"), album.ItemPath(1, false));
  EXPECT_EQ(u16(), album.ItemPath(1, true));
}

// One file: the album holds that folder's file and makes it current; appending adds to the
// album; a path that is not there, or has no "\", is -3; an album file opens.
TEST_F(AlbumTest, AddPathOfFilesAndAlbums) {
  folder_.Write(u"b.ppm", Ppm(2, 2));
  folder_.Write(u"a.ppm", Ppm(2, 2));
  PictureAlbum album(registry_);
  ASSERT_EQ(1, album.AddPath(folder_.Path(u"b.ppm"), false, false));
  ASSERT_EQ(2, album.AddPath(folder_.Path(u"a.ppm"), true, false));
  EXPECT_EQ(u"a.ppm", album.Item(0)->Path());  // sorted by name
  EXPECT_EQ(0, album.Current());
  EXPECT_EQ(-kResultPathNotFound, album.AddPath(folder_.Path(u"c.ppm"), false, false));
  EXPECT_EQ(-kResultPathNotFound, album.AddPath(u"a.ppm", false, false));

  album.AddFile(u"b.ppm");
  ASSERT_EQ(kResultOk, album.SaveTo(folder_.Path(u"x.mab")));
  PictureAlbum opened(registry_);
  EXPECT_EQ(1, opened.AddPath(folder_.Path(u"x.mab"), false, false));
  EXPECT_EQ(folder_.Path(u"x.mab"), opened.FilePath());
  EXPECT_EQ(0, opened.Current());
  folder_.Write(u"bad.mab", {'R', 'A', 'B', ' ', '2', '0', '0'});
  EXPECT_EQ(-kResultVersion, opened.AddPath(folder_.Path(u"bad.mab"), false, false));
  EXPECT_EQ(0, opened.Count());
}

// Move left at the first item (and right at the last) changes nothing; a move carries the
// current item along; sorting by size puts an empty file first and keeps the current item.
TEST_F(AlbumTest, SortAndMove) {
  folder_.Write(u"big.ppm", Ppm(20, 20));
  folder_.Write(u"empty.ppm", {});
  folder_.Write(u"small.ppm", Ppm(2, 2));
  PictureAlbum album(registry_);
  ASSERT_EQ(3, album.AddPath(folder_.Path(), false, false));
  EXPECT_EQ(kAlbumSortByName, album.SortOrder());
  album.SetCurrent(0);
  EXPECT_FALSE(album.Sort(kAlbumMoveLeft, 0));
  EXPECT_FALSE(album.Sort(kAlbumMoveRight, 2));
  EXPECT_FALSE(album.Sort(9, 0));
  EXPECT_EQ(u"big.ppm", album.Item(0)->Path());
  EXPECT_EQ(0, album.Current());
  EXPECT_EQ(kAlbumSortByName, album.SortOrder());

  ASSERT_TRUE(album.Sort(kAlbumMoveRight, 0));
  EXPECT_EQ(u"big.ppm", album.Item(1)->Path());
  EXPECT_EQ(1, album.Current());

  ASSERT_TRUE(album.Sort(kAlbumSortBySize, 0));
  EXPECT_EQ(u"empty.ppm", album.Item(0)->Path());
  EXPECT_EQ(u"small.ppm", album.Item(1)->Path());
  EXPECT_EQ(u"big.ppm", album.CurrentItem()->Path());
  EXPECT_EQ(kAlbumSortBySize, album.SortOrder());
}

// Next and previous stop at the ends with the end flag, or go round with the wrap bit; a
// random step never stays on the current item; an empty album has no item.
TEST_F(AlbumTest, Steps) {
  PictureAlbum album(registry_);
  EXPECT_EQ(nullptr, album.Step(kAlbumStepNext));
  for (const char16_t* name : {u"a.jpg", u"b.jpg", u"c.jpg"}) album.AddFile(name);
  album.SetCurrent(2);
  bool atEnd = false;
  EXPECT_EQ(album.Item(2), album.Step(kAlbumStepNext, &atEnd));
  EXPECT_TRUE(atEnd);
  EXPECT_EQ(album.Item(0), album.Step(kAlbumStepNext | kAlbumStepWrap, &atEnd));
  EXPECT_FALSE(atEnd);
  album.Step(kAlbumStepPrevious, &atEnd);
  EXPECT_TRUE(atEnd);
  EXPECT_EQ(album.Item(2), album.Step(kAlbumStepPrevious | kAlbumStepWrap));
  EXPECT_EQ(album.Item(0), album.Step(kAlbumStepFirst));
  EXPECT_EQ(album.Item(2), album.Step(kAlbumStepLast));
  EXPECT_EQ(album.Item(2), album.Step(9));
  album.SetCurrent(7);
  EXPECT_EQ(album.Item(2), album.Step(kAlbumStepCurrent));

  uint32_t seed = 0;
  album.SetSeedSource([&seed] { return seed; });
  for (seed = 0; seed < 3600000; seed += 997) {
    const int32_t before = album.Current();
    album.Step(kAlbumStepRandom);
    ASSERT_NE(before, album.Current()) << seed;
    ASSERT_LT(album.Current(), 3);
  }
}

// The release rule: largest estimate first, never the kept item, the current one only when
// allowed, stopping at the amount unless NotCacheImage is on; an amount of 0 takes all.
TEST(AlbumMemory, ChoosePicturesToRelease) {
  const std::vector<CachedPicture> pictures = {{true, 100}, {false, 900}, {true, 300}, {true, 200}, {true, 300}};
  using List = std::vector<size_t>;
  EXPECT_EQ((List{2, 4, 3, 0}), ChoosePicturesToRelease(pictures, 0, -1, -1, true, false));
  EXPECT_EQ((List{2, 4}), ChoosePicturesToRelease(pictures, 500, -1, -1, true, false));
  EXPECT_EQ((List{2, 4, 3, 0}), ChoosePicturesToRelease(pictures, 500, -1, -1, true, true));
  EXPECT_EQ((List{4, 0}), ChoosePicturesToRelease(pictures, 0, 2, 3, false, false));
  EXPECT_EQ(List{}, ChoosePicturesToRelease({}, 0, -1, -1, true, false));
}

}  // namespace
