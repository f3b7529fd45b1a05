#include "player/pictures/reader_registry.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>
#include "player/base/text16.h"
#include "player/media/source_state.h"
#include "player/pictures/formats/picture_sources.h"
#include "player/pictures/image_holder.h"
#include "player/pictures/tests/picture_test_files.h"

using namespace crv;
using namespace crv::testing_support;

namespace {

// Plug-ins without files: each "library" is a set of exports; the loader counts what it
// loads and frees.
struct FakeLibrary {
  std::u16string name;
  bool loads = true;
  std::map<std::string, void*> exports;
};

class FakeLoader : public ReaderPluginLoader {
 public:
  std::vector<FakeLibrary> libraries;
  int loaded = 0;
  int released = 0;

  std::vector<std::u16string> Candidates() override {
    std::vector<std::u16string> names;
    for (const FakeLibrary& l : libraries) names.push_back(l.name);
    return names;
  }
  void* Load(const std::u16string& path) override {
    for (FakeLibrary& l : libraries)
      if (l.name == path && l.loads) {
        ++loaded;
        return &l;
      }
    return nullptr;
  }
  void* Find(void* library, const char* name) override {
    auto& exports = static_cast<FakeLibrary*>(library)->exports;
    auto it = exports.find(name);
    return it == exports.end() ? nullptr : it->second;
  }
  void Release(void*) override { ++released; }
};

uint32_t Version100() { return 100; }
uint32_t Version101() { return 101; }

const RFormatEntry kPluginRows[] = {
    {u"Test Picture", u"tpic", u"tpic\0bmp\0", 0},
    {u"Other Picture", u"opic", u"opic\0", 0},
    {nullptr, nullptr, nullptr, 0},
};
const RFormatEntry* PluginFormats() { return kPluginRows; }

int g_pluginLoads = 0;
int32_t PluginLoad(RFileHandle, tagRDIBIMG*, uint32_t, uint32_t) {
  ++g_pluginLoads;
  return kResultBadData;
}
void PluginDelete(tagRDIBIMG*, void*) {}
int g_pluginAborts = 0;
void* PluginAbort() {
  ++g_pluginAborts;
  return nullptr;
}

void* P(uint32_t (*f)()) { return reinterpret_cast<void*>(f); }

// A plug-in with every required export and the given version.
FakeLibrary Plugin(const std::u16string& name, uint32_t (*version)()) {
  FakeLibrary l;
  l.name = name;
  l.exports["RGetVersion"] = P(version);
  l.exports["RLoadImage"] = reinterpret_cast<void*>(&PluginLoad);
  l.exports["RDeleteImage"] = reinterpret_cast<void*>(&PluginDelete);
  l.exports["RGetSupportedFormats"] = reinterpret_cast<void*>(&PluginFormats);
  return l;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { SetMediaMode(false); }
  void TearDown() override { SetMediaMode(false); }
};

}  // namespace

// The built-in entry comes first, without a library, with the mode's table and the five
// built-in functions; in media mode it presents the video rows.
TEST_F(RegistryTest, BuiltInEntryFirstWithTheModesTable) {
  FakeLoader loader;
  ReaderRegistry registry(&loader);
  registry.Build();
  ASSERT_EQ(1u, registry.Size());
  const ReaderEntry* builtin = registry.Entry(0);
  EXPECT_EQ(nullptr, builtin->library);
  EXPECT_EQ(FormatRows(FormatTable::Image), builtin->formats);
  EXPECT_EQ(&RLoadImage, builtin->loadImage);
  EXPECT_EQ(&RLoadFrame, builtin->loadFrame);
  EXPECT_EQ(&RDeleteImage, builtin->deleteImage);
  EXPECT_EQ(&RAbortLoading, builtin->abortLoading);
  EXPECT_EQ(&RRegAllocFunc, builtin->regAllocFunc);

  SetMediaMode(true);
  registry.Build();
  ASSERT_EQ(1u, registry.Size());
  EXPECT_EQ(FormatRows(FormatTable::Video), registry.Entry(0)->formats);
  int row = -1;
  EXPECT_EQ(registry.Entry(0), registry.FindByExtension(u"clip.MPEG", &row));
  EXPECT_EQ(kVideoMpeg, row);
  EXPECT_EQ(nullptr, registry.FindByExtension(u"photo.jpg"));
}

// The process's registry follows the mode: a switch clears it and builds it again.
TEST_F(RegistryTest, ChangingTheModeRebuildsTheProcessRegistry) {
  ChangeMediaMode(true);
  EXPECT_TRUE(MediaMode());
  ASSERT_EQ(1u, ProcessReaderRegistry().Size());
  EXPECT_EQ(FormatRows(FormatTable::Video), ProcessReaderRegistry().Entry(0)->formats);
  ChangeMediaMode(false);
  EXPECT_FALSE(MediaMode());
  EXPECT_EQ(FormatRows(FormatTable::Image), ProcessReaderRegistry().Entry(0)->formats);
  EXPECT_NE(nullptr, ProcessReaderRegistry().FindByExtension(u"a.pcx"));
}

// Extensions without regard to case; the row of the match; a name without a dot and a dot in
// a folder name select nothing.
TEST_F(RegistryTest, FindByExtensionPicksTheRow) {
  ReaderRegistry registry(nullptr);
  registry.Build();
  const ReaderEntry* builtin = registry.Entry(0);
  const struct {
    const char16_t* path;
    int row;
  } cases[] = {{u"photo.JPG", kImageJpeg},     {u"photo.Jpeg", kImageJpeg}, {u"photo.jpe", kImageJpeg},
               {u"\\a.b\\photo.cfx", kImageTiff}, {u"scan.2bp", kImageBmp},  {u"scan.img", kImageBmp},
               {u"x.TIFF", kImageTiff},        {u"x.pcd", kImagePhotoCd},  {u"x.raw", kImagePnm},
               {u"x.gif", kImageGif},          {u"x.pcx", kImagePcx},      {u"x.tar.PPM", kImagePnm}};
  for (const auto& c : cases) {
    int row = -1;
    EXPECT_EQ(builtin, registry.FindByExtension(c.path, &row)) << static_cast<int>(c.row);
    EXPECT_EQ(c.row, row);
  }
  for (const char16_t* none : {u"photo", u"folder.d\\photo", u"photo.", u"photo.jpgx", u"photo.jp", u""})
    EXPECT_EQ(nullptr, registry.FindByExtension(none));
  EXPECT_EQ(nullptr, registry.FindByExtension(nullptr));
}

// Plug-ins follow in the scan's order; a wrong version, a missing required export or a
// library that does not load is skipped silently and freed; the optional exports may be
// missing. An earlier entry wins, so the plug-in listing "bmp" never gets ".bmp".
TEST_F(RegistryTest, PluginsAreCheckedAndAppendedInOrder) {
  FakeLoader loader;
  loader.libraries.push_back(Plugin(u"RImgOld.dll", &Version100));
  FakeLibrary noVersion = Plugin(u"RImgNoVersion.dll", &Version101);
  noVersion.exports.erase("RGetVersion");
  loader.libraries.push_back(noVersion);
  FakeLibrary noDelete = Plugin(u"RImgNoDelete.dll", &Version101);
  noDelete.exports.erase("RDeleteImage");
  loader.libraries.push_back(noDelete);
  FakeLibrary noTable = Plugin(u"RImgNoTable.dll", &Version101);
  noTable.exports.erase("RGetSupportedFormats");
  loader.libraries.push_back(noTable);
  FakeLibrary broken = Plugin(u"RImgBroken.dll", &Version101);
  broken.loads = false;
  loader.libraries.push_back(broken);
  FakeLibrary good = Plugin(u"RImgGood.dll", &Version101);
  good.exports["RAbortLoading"] = reinterpret_cast<void*>(&PluginAbort);
  loader.libraries.push_back(good);

  ReaderRegistry registry(&loader);
  registry.Build();
  ASSERT_EQ(2u, registry.Size());
  EXPECT_EQ(5, loader.loaded);
  EXPECT_EQ(4, loader.released);  // the four that failed a test
  const ReaderEntry* plugin = registry.Entry(1);
  EXPECT_EQ(&loader.libraries.back(), plugin->library);
  EXPECT_EQ(kPluginRows, plugin->formats);
  EXPECT_EQ(&PluginLoad, plugin->loadImage);
  EXPECT_EQ(&PluginDelete, plugin->deleteImage);
  EXPECT_EQ(&PluginAbort, plugin->abortLoading);
  EXPECT_EQ(nullptr, plugin->loadFrame);
  EXPECT_EQ(nullptr, plugin->regAllocFunc);

  int row = -1;
  EXPECT_EQ(registry.Entry(0), registry.FindByExtension(u"scan.BMP", &row));
  EXPECT_EQ(kImageBmp, row);
  EXPECT_EQ(plugin, registry.FindByExtension(u"a.TPIC", &row));
  EXPECT_EQ(0, row);
  EXPECT_EQ(plugin, registry.FindByExtension(u"a.opic", &row));
  EXPECT_EQ(1, row);

  // Aborting reaches every entry that can abort.
  g_pluginAborts = 0;
  registry.AbortLoading();
  EXPECT_EQ(1, g_pluginAborts);
  EXPECT_TRUE(LoadAborted());
  ClearAbort();

  // Building again starts afresh; clearing frees the kept library too.
  registry.Build();
  EXPECT_EQ(2u, registry.Size());
  EXPECT_EQ(4 + 1 + 4, loader.released);
  registry.Clear();
  EXPECT_EQ(0u, registry.Size());
  EXPECT_EQ(4 + 1 + 4 + 1, loader.released);
}

// Every extension of every row of every entry, in order, zero after each, an empty string
// at the end.
TEST_F(RegistryTest, AllExtensionsInOrder) {
  FakeLoader loader;
  loader.libraries.push_back(Plugin(u"RImgGood.dll", &Version101));
  ReaderRegistry registry(&loader);
  std::u16string list = u"old";
  EXPECT_FALSE(registry.AllExtensions(list));
  registry.Build();
  ASSERT_TRUE(registry.AllExtensions(list));
  static const char16_t kWant[] =
      u"2bp\0bmp\0img\0jpg\0jpe\0jpeg\0gif\0tif\0tiff\0cfx\0pcx\0pcd\0raw\0pgm\0ppm\0tpic\0bmp\0opic\0";
  // The literal's own terminator is the empty string that ends the list.
  EXPECT_EQ(std::u16string(kWant, sizeof kWant / sizeof kWant[0]), list);
}

// The holder asks the plug-in for the extensions only it lists and keeps its result; a
// ".bmp" file goes to the built-in entry even though the plug-in lists "bmp" too.
TEST_F(RegistryTest, HolderLoadsThroughThePluginThatListsTheExtension) {
  RegisterPictureSources();
  FakeLoader loader;
  loader.libraries.push_back(Plugin(u"RImgGood.dll", &Version101));
  ReaderRegistry registry(&loader);
  registry.Build();
  ImageHolder holder(registry);
  g_pluginLoads = 0;
  WriteFile(Path("fake.tpic"), {1, 2, 3});
  EXPECT_FALSE(holder.Load(FromUtf8(Path("fake.tpic")).c_str(), 0));
  EXPECT_EQ(kResultBadData, holder.Result());
  EXPECT_EQ(1, g_pluginLoads);
  EXPECT_EQ(nullptr, holder.Entry());

  // A 1 x 1 BMP: 14 + 40 bytes of headers and one padded 24-bit row.
  std::vector<uint8_t> bmp = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                              1, 0, 24, 0};
  bmp.resize(54, 0);
  bmp.insert(bmp.end(), {10, 20, 30, 0});
  WriteFile(Path("one.bmp"), bmp);
  EXPECT_TRUE(holder.Load(FromUtf8(Path("one.bmp")).c_str(), 0));
  EXPECT_EQ(1, g_pluginLoads);
  EXPECT_EQ(registry.Entry(0), holder.Entry());
  EXPECT_EQ(24, holder.BitsPerPixel());
  EXPECT_EQ(30, holder.Record().pixels[2]);
}

// The texts of the result codes, word for word; success and the page codes have none.
TEST(ResultTextTest, TextsAsTheViewsShowThem) {
  const struct {
    int32_t code;
    const char16_t* text;
  } texts[] = {
      {1, u"Not enough memory or file storage space is not available to complete this operation."},
      {2, u"An internal error occurred. Possible causes are that image data file is corrupted or you are out of "
          u"memory."},
      {3, u"The system cannot find the path specified."},
      {4, u"The system cannot open the file."},
      {5, u"The system cannot create the file."},
      {6, u"The system cannot read from the specified device."},
      {7, u"The system cannot write to the specified device."},
      {8, u"Image data file corrupted or file has a unknown data format."},
      {9, u"Image file is corrupted or contain newer and not supported image version."},
      {10, u"Image contain not supported format version."},
      {11, u"Image compressed by not supported compression algorithm."},
      {12, u"LZW compression no supported due to Unisys patent enforcement."},
      {13, u"Image file contain CMYK or LAB color model."},
      {14, u"File contain 32bit image format. Device support maximally 24 bits per color."},
      {15, u"Loading aborted..."},
  };
  for (const auto& t : texts) {
    ASSERT_NE(nullptr, ResultText(t.code)) << t.code;
    EXPECT_EQ(std::u16string(t.text), std::u16string(ResultText(t.code))) << t.code;
  }
  for (int32_t none : {0, 16, 17, 18, 19, -1}) EXPECT_EQ(nullptr, ResultText(none)) << none;
  EXPECT_EQ(std::u16string(u"Loading..."), std::u16string(kLoadingText));
}
