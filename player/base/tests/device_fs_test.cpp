#include "player/base/device_fs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace crv;
namespace fs = std::filesystem;

namespace {

// A temporary folder, named as a device path with backslashes.
class Folder {
 public:
  Folder() {
    std::random_device rd;
    std::error_code ec;
    do native_ = fs::temp_directory_path() / ("crv-device-fs-" + std::to_string(rd()));
    while (!fs::create_directory(native_, ec));
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(native_, ec);
  }
  u16 Path(const u16& name) const {
    u16 p = native_.u16string() + u'\\' + name;
    std::replace(p.begin(), p.end(), u'/', u'\\');
    return p;
  }
  fs::path Native(const std::string& name) const { return native_ / name; }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(Native(name), std::ios::binary) << content;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Native(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  fs::path native_;
};

const device_fs::FolderEntry* Find(const std::vector<device_fs::FolderEntry>& entries, const u16& name) {
  for (const auto& entry : entries)
    if (entry.name == name) return &entry;
  return nullptr;
}

}  // namespace

// A pattern lists the matching names (not "." and ".."), without regard to case, with each
// entry's size, folder flag and write time; one file's path lists that file.
TEST(DeviceFs, ListMatches) {
  Folder folder;
  folder.Write("a.jpg", "12345");
  folder.Write("B.JPG", "");
  folder.Write("c.txt", "x");
  fs::create_directory(folder.Native("sub"));

  const auto all = device_fs::ListMatches(folder.Path(u"*"));
  ASSERT_EQ(4u, all.size());
  const auto* a = Find(all, u"a.jpg");
  ASSERT_NE(nullptr, a);
  EXPECT_FALSE(a->isFolder);
  EXPECT_EQ(5u, a->size);
  EXPECT_GT(a->lastWriteTime, 116444736000000000ull);  // after 1970 in FILETIME units
  ASSERT_NE(nullptr, Find(all, u"sub"));
  EXPECT_TRUE(Find(all, u"sub")->isFolder);
  EXPECT_EQ(4u, device_fs::ListMatches(folder.Path(u"*.*")).size());

  const auto pictures = device_fs::ListMatches(folder.Path(u"*.jpg"));
  EXPECT_EQ(2u, pictures.size());
  EXPECT_NE(nullptr, Find(pictures, u"B.JPG"));
  const auto one = device_fs::ListMatches(folder.Path(u"?.txt"));
  ASSERT_EQ(1u, one.size());
  EXPECT_EQ(u"c.txt", one[0].name);
  const auto exact = device_fs::ListMatches(folder.Path(u"a.jpg"));
  ASSERT_EQ(1u, exact.size());
  EXPECT_EQ(5u, exact[0].size);
  EXPECT_TRUE(device_fs::ListMatches(folder.Path(u"none\\*")).empty());

  EXPECT_TRUE(device_fs::IsFolder(folder.Path(u"sub")));
  EXPECT_FALSE(device_fs::IsFolder(folder.Path(u"a.jpg")));
}

// Hidden entries are marked: by the attribute on Windows, by a leading dot natively.
TEST(DeviceFs, ListMatchesMarksHiddenEntries) {
  Folder folder;
  folder.Write("shown.mp3", "");
#ifdef _WIN32
  const std::string secret = "secret.mp3";
  folder.Write(secret, "");
  ASSERT_TRUE(SetFileAttributesW(folder.Native(secret).wstring().c_str(), FILE_ATTRIBUTE_HIDDEN));
#else
  const std::string secret = ".secret.mp3";
  folder.Write(secret, "");
#endif
  const auto all = device_fs::ListMatches(folder.Path(u"*.*"));
  ASSERT_EQ(2u, all.size());
  EXPECT_FALSE(Find(all, u"shown.mp3")->hidden);
  ASSERT_NE(nullptr, Find(all, FromUtf8(secret)));
  EXPECT_TRUE(Find(all, FromUtf8(secret))->hidden);
}

// A file opened for reading reads at any offset and never past its end; a missing file or a
// folder gives no source.
TEST(DeviceFs, OpenForReading) {
  Folder folder;
  folder.Write("digits", "0123456789");
  auto source = device_fs::OpenForReading(folder.Path(u"digits"));
  ASSERT_NE(nullptr, source);
  EXPECT_EQ(10u, source->Size());
  char got[5] = {};
  ASSERT_TRUE(source->ReadExactly(6, got, 4));
  EXPECT_EQ("6789", std::string(got));
  ASSERT_TRUE(source->ReadExactly(1, got, 2));
  EXPECT_EQ('1', got[0]);
  EXPECT_FALSE(source->ReadExactly(8, got, 3));
  EXPECT_EQ(nullptr, device_fs::OpenForReading(folder.Path(u"missing")));
  fs::create_directory(folder.Native("sub"));
  EXPECT_EQ(nullptr, device_fs::OpenForReading(folder.Path(u"sub")));
}

// Each way a replacement can end, with the old file whole whenever it fails; a read-only
// file becomes writable.
TEST(DeviceFs, ReplaceFileOutcomes) {
  Folder folder;
  folder.Write("album", "old contents");
  const std::string fresh = "new contents, longer than the old";
  EXPECT_EQ(device_fs::ReplaceOutcome::kNotCreated,
            device_fs::ReplaceFileWith(folder.Path(u"none\\album"), fresh.data(), fresh.size()));

  device_fs::SetWriteFailureAfterForTesting(4);
  EXPECT_EQ(device_fs::ReplaceOutcome::kNotWritten,
            device_fs::ReplaceFileWith(folder.Path(u"album"), fresh.data(), fresh.size()));
  device_fs::SetWriteFailureAfterForTesting(-1);
  EXPECT_EQ("old contents", folder.Read("album"));
  EXPECT_FALSE(fs::exists(folder.Native("album.new")));

  EXPECT_EQ(device_fs::ReplaceOutcome::kReplaced,
            device_fs::ReplaceFileWith(folder.Path(u"album"), fresh.data(), fresh.size()));
  EXPECT_EQ(fresh, folder.Read("album"));

  fs::permissions(folder.Native("album"), fs::perms::owner_write, fs::perm_options::remove);
  ASSERT_TRUE(device_fs::ClearReadOnly(folder.Path(u"album")));
  EXPECT_NE(fs::perms::none, fs::status(folder.Native("album")).permissions() & fs::perms::owner_write);
  EXPECT_TRUE(device_fs::ClearReadOnly(folder.Path(u"missing")));
}

// A folder standing for the device root: device paths land inside it, and natively their names
// are found without regard to case (the stored locations are lower case).
TEST(DeviceFs, DeviceRootFolder) {
  Folder folder;
  fs::create_directories(folder.Native("My Documents/My Music"));
  folder.Write("My Documents/My Music/Song One.MP3", "tune");
  const std::string root = folder.Native("").string();
  device_fs::SetDeviceRoot(FromUtf8(root) + u"/");
  const bool found = device_fs::FileExists(u"\\my documents\\my music\\song one.mp3");
  const bool isFolder = device_fs::IsFolder(u"\\MY DOCUMENTS");
  const bool missing = device_fs::FileExists(u"\\my documents\\my music\\song two.mp3");
  std::string bytes;
  const bool read = device_fs::ReadFileBounded(u"\\My Documents\\My Music\\Song One.MP3", 100, bytes);
  const size_t listed = device_fs::ListMatches(u"\\my documents\\my music\\*.mp3").size();
  device_fs::SetDeviceRoot(u"");
  EXPECT_TRUE(found);
  EXPECT_TRUE(isFolder);
  EXPECT_FALSE(missing);
  EXPECT_TRUE(read);
  EXPECT_EQ("tune", bytes);
  EXPECT_EQ(1u, listed);
  EXPECT_FALSE(device_fs::FileExists(u"\\my documents\\my music\\song one.mp3")) << "the root is the platform's again";
}
