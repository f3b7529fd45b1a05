// The plug-in contract with real libraries: the test program lives in a folder with
// RImgTestGood.dll (version 101, reads ".tpic", also lists "bmp") and RImgTestOld.dll
// (version 100).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>
#include "player/base/text16.h"
#include "player/base/win16.h"
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/pictures/formats/picture_sources.h"
#include "player/pictures/image_holder.h"
#include "player/pictures/reader_registry.h"

using namespace crv;

namespace {

std::u16string ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::u16string folder(U(path), n);
  return folder.substr(0, folder.find_last_of(u"\\/") + 1);
}

std::u16string TempFolder(const char16_t* name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::u16string folder = std::u16string(U(temp)) + name + u"-" + Decimal(GetCurrentProcessId()) + u"\\";
  CreateDirectoryW(W(folder.c_str()), nullptr);
  return folder;
}

void WriteBytes(const std::u16string& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileW(W(path.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD wrote = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
  CloseHandle(file);
}

// A 2 x 1 ".tpic": red, then blue.
std::vector<uint8_t> TwoPixels() { return {'T', 'P', 'I', 'C', 2, 1, 255, 0, 0, 0, 0, 255}; }

// A 1 x 1 24-bit BMP.
std::vector<uint8_t> OnePixelBmp() {
  std::vector<uint8_t> bmp = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                              1, 0, 24, 0};
  bmp.resize(54, 0);
  bmp.insert(bmp.end(), {10, 20, 30, 0});
  return bmp;
}

using CountFn = int32_t (*)();
int32_t Count(const ReaderEntry* entry, const char* name) {
  auto fn = reinterpret_cast<CountFn>(
      reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(entry->library), name)));
  return fn ? fn() : -1;
}

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterPictureSources();
    SetMediaMode(false);
  }
};

}  // namespace

// Beside the program: the version-101 library becomes the second entry with its required
// exports and without the optional ones; the version-100 library is ignored and unloaded.
TEST_F(PluginTest, LibrariesBesideTheProgramAreCheckedByVersion) {
  ReaderRegistry registry;
  registry.Build();
  ASSERT_EQ(2u, registry.Size());
  const ReaderEntry* plugin = registry.Entry(1);
  EXPECT_EQ(nullptr, registry.Entry(0)->library);
  EXPECT_EQ(static_cast<void*>(GetModuleHandleW(L"RImgTestGood.dll")), plugin->library);
  EXPECT_EQ(nullptr, GetModuleHandleW(L"RImgTestOld.dll"));
  EXPECT_NE(nullptr, plugin->loadImage);
  EXPECT_NE(nullptr, plugin->deleteImage);
  EXPECT_EQ(nullptr, plugin->loadFrame);
  EXPECT_EQ(nullptr, plugin->abortLoading);
  EXPECT_EQ(nullptr, plugin->regAllocFunc);
  ASSERT_NE(nullptr, plugin->formats);
  EXPECT_EQ(std::u16string(u"Test Picture"), std::u16string(plugin->formats[0].description));

  std::u16string list;
  ASSERT_TRUE(registry.AllExtensions(list));
  EXPECT_NE(std::u16string::npos, list.find(std::u16string(u"ppm\0tpic\0bmp\0\0", 14)));

  registry.Clear();
  EXPECT_EQ(nullptr, GetModuleHandleW(L"RImgTestGood.dll"));
}

// A ".tpic" file goes to the plug-in, which fills the record; a ".bmp" file goes to the
// built-in entry although the plug-in lists "bmp": the plug-in never sees it.
TEST_F(PluginTest, PluginReadsItsOwnFormatButNeverBmp) {
  ReaderRegistry registry;
  registry.Build();
  ASSERT_EQ(2u, registry.Size());
  const ReaderEntry* plugin = registry.Entry(1);
  const std::u16string folder = TempFolder(u"crv-plugin-files");
  WriteBytes(folder + u"two.tpic", TwoPixels());
  WriteBytes(folder + u"one.BMP", OnePixelBmp());

  ImageHolder holder(registry);
  const int32_t loadsBefore = Count(plugin, "RTestLoadCount");
  ASSERT_TRUE(holder.Load((folder + u"two.tpic").c_str(), 0));
  EXPECT_EQ(plugin, holder.Entry());
  EXPECT_EQ(loadsBefore + 1, Count(plugin, "RTestLoadCount"));
  EXPECT_EQ(24, holder.BitsPerPixel());
  EXPECT_EQ(std::u16string(u"Test plug-in"), std::u16string(holder.Record().infoText));
  const uint8_t* p = holder.Record().pixels;
  EXPECT_EQ((std::vector<uint8_t>{0, 0, 255, 255, 0, 0}), std::vector<uint8_t>(p, p + 6));  // BGR: red, blue

  // The fitted copy of a plug-in's picture is made by the holder, through the base.
  RBitmapInfoHeader* info = nullptr;
  uint8_t* pixels = nullptr;
  const FitSize box{1, 1};
  RBitmapHandle copy = holder.FitCopy(&box, &info, &pixels);
  ASSERT_NE(nullptr, copy);
  EXPECT_EQ(1, info->width);
  EXPECT_EQ(255, pixels[2]);
  HookDeleteObject(copy);
  HookFree(info);

  ASSERT_TRUE(holder.Load((folder + u"one.BMP").c_str(), 0));
  EXPECT_EQ(registry.Entry(0), holder.Entry());
  EXPECT_EQ(30, holder.Record().pixels[2]);
  EXPECT_EQ(loadsBefore + 1, Count(plugin, "RTestLoadCount"));
  EXPECT_EQ(0, Count(plugin, "RTestBmpLoadCount"));

  // A broken ".tpic" is the plug-in's own result; the holder is empty afterwards.
  WriteBytes(folder + u"bad.tpic", {'N', 'O', 'P', 'E', 1, 1});
  EXPECT_FALSE(holder.Load((folder + u"bad.tpic").c_str(), 0));
  EXPECT_EQ(kResultBadData, holder.Result());
  EXPECT_FALSE(holder.HasPicture());
  holder.Release();
}

// The device is 32-bit: the player and a plug-in built apart agree on the 680-byte record
// at run time, byte for byte where the plug-in writes it.
TEST_F(PluginTest, PlayerAndPluginShareTheDeviceRecordLayout) {
  ASSERT_EQ(4u, sizeof(void*));
  ASSERT_EQ(680u, sizeof(tagRDIBIMG));
  ASSERT_EQ(52u, sizeof(RFrameTable));
  ReaderRegistry registry;
  registry.Build();
  ASSERT_EQ(2u, registry.Size());
  using LayoutFn = void (*)(uint32_t*, uint32_t*, uint32_t*);
  auto layout = reinterpret_cast<LayoutFn>(reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(registry.Entry(1)->library), "RTestRecordLayout")));
  ASSERT_NE(nullptr, layout);
  uint32_t recordBytes = 0, infoOffset = 0, pointerBytes = 0;
  layout(&recordBytes, &infoOffset, &pointerBytes);
  EXPECT_EQ(680u, recordBytes);
  EXPECT_EQ(552u, infoOffset);
  EXPECT_EQ(4u, pointerBytes);

  const std::u16string folder = TempFolder(u"crv-plugin-layout");
  WriteBytes(folder + u"two.tpic", TwoPixels());
  ImageHolder holder(registry);
  ASSERT_TRUE(holder.Load((folder + u"two.tpic").c_str(), 0));
  const auto* bytes = reinterpret_cast<const uint8_t*>(&holder.Record());
  EXPECT_EQ(0, std::memcmp(bytes + 552, u"Test plug-in", sizeof(u"Test plug-in")));
  EXPECT_EQ(uint8_t('#'), bytes[678]);
  EXPECT_EQ(0, bytes[679]);
  EXPECT_EQ(1, *reinterpret_cast<const int32_t*>(bytes + 28));  // frame count
  holder.Release();
}

// In another folder: a directory and a file that is no library, both matching the pattern,
// are skipped silently; a copy of the good library there is found and used.
TEST_F(PluginTest, DirectoriesAndBrokenFilesAreSkipped) {
  const std::u16string folder = TempFolder(u"crv-plugin-scan");
  CreateDirectoryW(W((folder + u"RImgFolder.dll").c_str()), nullptr);
  WriteBytes(folder + u"RImgJunk.dll", std::vector<uint8_t>(600, 'x'));
  WriteBytes(folder + u"NotAPlugin.dll", std::vector<uint8_t>(10, 'y'));
  ASSERT_TRUE(CopyFileW(W((ProgramFolder() + u"RImgTestOld.dll").c_str()), W((folder + u"RImgOldCopy.dll").c_str()),
                        FALSE));
  ASSERT_TRUE(CopyFileW(W((ProgramFolder() + u"RImgTestGood.dll").c_str()), W((folder + u"RImgCopy.dll").c_str()),
                        FALSE));
  ReaderPluginLoader* loader = NewFolderReaderPluginLoader(folder);
  const std::vector<std::u16string> candidates = loader->Candidates();
  EXPECT_EQ(3u, candidates.size());  // junk, old copy and good copy; not the directory
  for (const std::u16string& c : candidates) EXPECT_EQ(std::u16string::npos, c.find(u"RImgFolder"));
  {
    ReaderRegistry registry(loader);
    registry.Build();
    ASSERT_EQ(2u, registry.Size());
    EXPECT_EQ(static_cast<void*>(GetModuleHandleW(L"RImgCopy.dll")), registry.Entry(1)->library);
    EXPECT_EQ(nullptr, GetModuleHandleW(L"RImgOldCopy.dll"));
  }
  delete loader;
  EXPECT_EQ(nullptr, GetModuleHandleW(L"RImgCopy.dll"));
}
