#include "player/library/media_library.h"

#include <gtest/gtest.h>
#include "player/base/device_fs.h"
#include "player/library/tests/test_folder.h"

using namespace crv;
using crv::testing_support::TestFolder;

namespace {

class LibraryFile : public ::testing::Test {
 protected:
  // One "media" element for the file `name` of the folder (created unless `create` is false).
  std::string Entry(const std::string& attributes, const u16& name, const std::string& rest = "",
                    bool create = true) {
    if (create) dir.Write(ToLower(name));
    return "<media" + attributes + "><location>" + dir.Utf8(name) + "</location>" + rest + "</media>";
  }
  bool LoadText(const std::string& text) {
    dir.Write(u"hvml.hvl", text);
    return library.Load(dir.Path());
  }
  bool LoadEntries(const std::string& entries) {
    return LoadText("<HVMediaLibrary>" + entries + "</HVMediaLibrary>");
  }
  std::string Saved() { return dir.Read(u"hvml.hvl"); }

  TestFolder dir;
  CMediaLibrary library;
};

}  // namespace

TEST_F(LibraryFile, MissingFileGivesAnEmptyLibraryAndTheFirstSaveCreatesIt) {
  EXPECT_FALSE(library.Load(dir.Path()));
  EXPECT_EQ(library.Count(), 0);
  ASSERT_TRUE(library.Add(dir.Item(u"a.mp3")));
  ASSERT_TRUE(library.Save(dir.Path()));
  EXPECT_FALSE(dir.Exists(u"hvml.hvl.new"));
  CMediaLibrary again;
  EXPECT_TRUE(again.Load(dir.Path()));
  ASSERT_EQ(again.Count(), 1);
  EXPECT_EQ(again.At(0)->GetLocation(), dir.Path(u"a.mp3"));
}

TEST_F(LibraryFile, WritesTheExactStructure) {
  CMediaItem music = dir.Item(u"track01.mp3");
  music.SetContrast(-12);
  music.SetBrightness(7);
  CMediaItem video = dir.Item(u"clip.avi", u"My <clip> & co");
  video.SetArtist(u"Art\u00E9");
  video.SetAlbum(u"Alb");
  video.SetGenre(u"Gen");
  CMediaItem other = dir.Item(u"readme");  // no dot: no title
  other.SetType(9);                        // any other non-zero type is written as Playlist
  for (const CMediaItem* i : {&music, &video, &other}) ASSERT_TRUE(library.Add(*i));
  ASSERT_TRUE(library.Save(dir.Path()));
  const std::string loc = dir.Utf8();
  EXPECT_EQ(Saved(),
            "<HVMediaLibrary>"
            "<media type=\"Music\"><location>" + loc + "track01.mp3</location><title>track01</title>"
            "<artist/><album/><genre/><contrast>-12</contrast><brightness>7</brightness></media>"
            "<media type=\"Video\"><location>" + loc + "clip.avi</location>"
            "<title>My &lt;clip&gt; &amp; co</title><artist>Art\xC3\xA9</artist><album>Alb</album>"
            "<genre>Gen</genre><contrast>0</contrast><brightness>0</brightness></media>"
            "<media type=\"Playlist\"><location>" + loc + "readme</location><title/>"
            "<artist/><album/><genre/><contrast>0</contrast><brightness>0</brightness></media>"
            "</HVMediaLibrary>");
}

TEST_F(LibraryFile, DuplicatesAndEntriesWithoutFilesAreDropped) {
  ASSERT_TRUE(LoadEntries(Entry(" type=\"Music\"", u"song.mp3", "<title>first</title>") +
                          Entry("", u"gone.mp3", "", false) + Entry("", u"other.mp3") +
                          Entry(" type=\"Music\"", u"SONG.MP3", "<title>second</title>") +
                          "<media type=\"Music\"/><media><location></location></media>"));
  ASSERT_EQ(library.Count(), 2);
  EXPECT_EQ(library.At(0)->GetTitle(), u"first") << "the first of the repeated entries is kept";
  EXPECT_EQ(library.At(1)->GetTitle(), u"other");
  ASSERT_TRUE(library.Save(dir.Path()));
  EXPECT_EQ(Saved().find("gone"), std::string::npos);
}

TEST_F(LibraryFile, MixedCaseLocationIsStoredAndSavedLowerCaseAsMusic) {
  ASSERT_TRUE(LoadEntries(Entry(" type=\"Video\"", u"Storage Card\\Music\\Song.MP3")));
  ASSERT_EQ(library.Count(), 1);
  EXPECT_EQ(library.At(0)->GetLocation(), dir.Path(u"storage card\\music\\song.mp3"));
  EXPECT_EQ(library.At(0)->GetType(), kMediaMusic);
  ASSERT_TRUE(library.Save(dir.Path()));
  EXPECT_NE(Saved().find("<media type=\"Music\"><location>" + dir.Utf8(u"storage card\\music\\song.mp3") +
                         "</location><title>song</title>"),
            std::string::npos);
}

TEST_F(LibraryFile, AccentedCapitalsKeepTheirFileThroughSaveAndLoad) {
  // The native file system tells cases apart, so the file carries the small letters the
  // location is stored in: any other folding of the capitals loses the file.
  const u16 on_disk = u"r\u016F\u017Ee \u0142\u00F3d\u017A \u0144\u017C \u017Elu\u0165.mp3";
  dir.Write(on_disk);
  CMediaItem item;
  item.SetLocation(dir.Path(u"R\u016F\u017Ee \u0141\u00F3d\u017A \u0143\u017C \u017Dlu\u0165.mp3"));
  EXPECT_EQ(item.GetLocation(), dir.Path(on_disk));
  ASSERT_TRUE(library.Add(item)) << "the file-exists check finds it";
  ASSERT_TRUE(library.Save(dir.Path()));
  for (int round = 1; round <= 2; ++round) {
    CMediaLibrary again;
    ASSERT_TRUE(again.Load(dir.Path()));
    ASSERT_EQ(again.Count(), 1) << "loading after save " << round << " keeps the entry";
    EXPECT_EQ(again.At(0)->GetLocation(), dir.Path(on_disk));
    EXPECT_EQ(again.At(0)->GetTitle(), u"r\u016F\u017Ee \u0142\u00F3d\u017A \u0144\u017C \u017Elu\u0165");
    ASSERT_TRUE(again.Save(dir.Path()));
  }
  EXPECT_NE(Saved().find("<location>" + dir.Utf8(on_disk) + "</location>"), std::string::npos);
  EXPECT_TRUE(library.Contains(item));
  CMediaItem other_case;
  other_case.SetLocation(dir.Path(u"R\u016F\u017Ee \u0142\u00D3D\u0179 \u0144\u017B \u017Dlu\u0164.MP3"));
  EXPECT_FALSE(library.Add(other_case)) << "the same file in other capitals is already present";
}

TEST_F(LibraryFile, TypeAttributeCountsOnlyWhenAlone) {
  ASSERT_TRUE(LoadEntries(Entry(" type=\"Video\"", u"a.ogg") + Entry(" type=\"Video\" x=\"1\"", u"b.ogg") +
                          Entry(" kind=\"Playlist\"", u"c.ogg") + Entry(" type=\"Video\" x=\"1\"", u"d.avi") +
                          Entry(" type=\"video\"", u"e.ogg")));
  ASSERT_EQ(library.Count(), 5);
  EXPECT_EQ(library.At(0)->GetType(), kMediaVideo) << ".ogg keeps the attribute's type";
  EXPECT_EQ(library.At(1)->GetType(), kMediaMusic) << "two attributes are both ignored";
  EXPECT_EQ(library.At(2)->GetType(), kMediaPlaylist) << "one attribute counts whatever its name";
  EXPECT_EQ(library.At(3)->GetType(), kMediaVideo) << "type from the extension";
  EXPECT_EQ(library.At(4)->GetType(), kMediaMusic) << "values compare case-sensitively";
}

TEST_F(LibraryFile, FieldsAndSignedDecimals) {
  ASSERT_TRUE(LoadEntries(
      Entry("", u"a.mp3", "<title>T</title><album><![CDATA[A&B]]></album><genre></genre>"
                          "<contrast>12abc</contrast><brightness>  -7x</brightness>") +
      Entry("", u"b.mp3", "<contrast></contrast>") +
      Entry("", u"c.mp3", "<contrast>99999999999</contrast><brightness>-99999999999</brightness>") +
      Entry("", u"d.mp3", "<contrast>+3</contrast><contrast>4</contrast><brightness>x1</brightness>")));
  ASSERT_EQ(library.Count(), 4);
  EXPECT_EQ(library.At(0)->GetTitle(), u"T");
  EXPECT_EQ(library.At(0)->GetAlbum(), u"A&B");
  EXPECT_TRUE(library.At(0)->GetGenre().empty());
  EXPECT_EQ(library.At(0)->GetContrast(), 12);
  EXPECT_EQ(library.At(0)->GetBrightness(), -7);
  EXPECT_EQ(library.At(1)->GetContrast(), 0) << "empty";
  EXPECT_EQ(library.At(1)->GetBrightness(), 0) << "missing";
  EXPECT_EQ(library.At(2)->GetContrast(), 2147483647) << "saturated";
  EXPECT_EQ(library.At(2)->GetBrightness(), -2147483647 - 1);
  EXPECT_EQ(library.At(3)->GetContrast(), 3) << "the first element of the name";
  EXPECT_EQ(library.At(3)->GetBrightness(), 0);
}

TEST_F(LibraryFile, ToleratesDeclarationsByteOrderMarksAndDeepEntries) {
  ASSERT_TRUE(LoadText("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- c -->\n<Other>\n <g>" +
                       Entry("", u"b.mp3") + "</g>\n " + Entry("", u"a.mp3") + "\n</Other>\n"));
  ASSERT_EQ(library.Count(), 2) << "media elements at any depth, in document order";
  EXPECT_EQ(library.At(0)->GetTitle(), u"b");
  const u16 utf16 = u"\uFEFF<HVMediaLibrary><media><location>" + dir.Path(u"a.mp3") + u"</location></media></HVMediaLibrary>";
  std::string bytes;
  for (char16_t c : utf16) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  ASSERT_TRUE(LoadText(bytes));
  EXPECT_EQ(library.Count(), 1);
}

TEST_F(LibraryFile, MalformedOrOversizedFilesGiveAnEmptyLibrary) {
  const std::string good = Entry("", u"a.mp3");
  for (const std::string& text :
       {std::string(), std::string("not xml"), "<HVMediaLibrary>" + good,
        "<HVMediaLibrary>" + good + "</HVMediaLibrary><HVMediaLibrary/>",
        "<HVMediaLibrary>" + good + "</HVMediaLibrary>trailing text",
        "<HVMediaLibrary>" + good + "</HVMediaLibraryX>"}) {
    ASSERT_TRUE(library.Add(dir.Item(u"x.mp3")));
    EXPECT_FALSE(LoadText(text)) << text;
    EXPECT_EQ(library.Count(), 0) << text;
  }
  std::string big = "<HVMediaLibrary>" + Entry("", u"a.mp3", "<title>" + std::string(100000, 't') + "</title>");
  for (int i = 0; i < 1000; ++i) big += "<media><location>" + std::string(300, 'q') + "</location></media>";
  ASSERT_TRUE(LoadText(big + "</HVMediaLibrary>"));
  ASSERT_EQ(library.Count(), 1);
  EXPECT_EQ(library.At(0)->GetTitle().size(), 4096u) << "long texts are cut";

  dir.Write(u"big", std::string(1000, 'x'));
  std::string bytes;
  EXPECT_FALSE(device_fs::ReadFileBounded(dir.Path(u"big"), 999, bytes));
  EXPECT_TRUE(device_fs::ReadFileBounded(dir.Path(u"big"), 1000, bytes));
}

TEST_F(LibraryFile, DeletingTheLastItemSavesAnEmptyRoot) {
  ASSERT_TRUE(library.Add(dir.Item(u"only.mp3")));
  ASSERT_TRUE(library.Save(dir.Path()));
  ASSERT_TRUE(library.Load(dir.Path()));
  ASSERT_TRUE(library.RemoveAt(0));
  ASSERT_TRUE(library.Save(dir.Path()));
  EXPECT_EQ(Saved(), "<HVMediaLibrary/>");
  EXPECT_TRUE(library.Load(dir.Path()));
  EXPECT_EQ(library.Count(), 0);
}

TEST_F(LibraryFile, FailedSaveKeepsThePreviousFile) {
  ASSERT_TRUE(library.Add(dir.Item(u"a.mp3")));
  ASSERT_TRUE(library.Save(dir.Path()));
  const std::string before = Saved();
  ASSERT_TRUE(library.Add(dir.Item(u"b.mp3")));
  device_fs::SetWriteFailureAfterForTesting(20);  // the card fills up part-way
  EXPECT_FALSE(library.Save(dir.Path()));
  device_fs::SetWriteFailureAfterForTesting(-1);
  EXPECT_EQ(Saved(), before);
  EXPECT_FALSE(dir.Exists(u"hvml.hvl.new")) << "the partial file is removed";
  std::filesystem::create_directory(dir.Native(u"hvml.hvl.new"));  // cannot even be created
  EXPECT_FALSE(library.Save(dir.Path()));
  EXPECT_EQ(Saved(), before);
  std::filesystem::remove(dir.Native(u"hvml.hvl.new"));
  EXPECT_TRUE(library.Save(dir.Path()));
  EXPECT_TRUE(library.Load(dir.Path()));
  EXPECT_EQ(library.Count(), 2);
}

TEST_F(LibraryFile, AddContainsIndexOfRemoveReplace) {
  CMediaItem a = dir.Item(u"a.mp3"), b = dir.Item(u"b.avi"), missing, upper;
  missing.SetLocation(dir.Path(u"missing.mp3"));
  upper.SetLocation(dir.Path(u"A.MP3"));
  CMediaItem a_video(a);
  a_video.SetType(kMediaVideo);
  EXPECT_TRUE(library.Add(a));
  EXPECT_FALSE(library.Add(upper)) << "already present once lower-cased";
  EXPECT_FALSE(library.Add(missing)) << "no file";
  EXPECT_TRUE(library.Add(b));
  EXPECT_TRUE(library.Add(a_video)) << "another type is another item";
  EXPECT_EQ(library.IndexOf(a_video), 2);
  EXPECT_FALSE(library.Contains(missing));
  CMediaItem edited(b);
  edited.SetTitle(u"New title");
  EXPECT_TRUE(library.ReplaceAt(1, edited));
  EXPECT_TRUE(library.ReplaceAt(1, *library.At(1))) << "by itself";
  EXPECT_EQ(library.At(1)->GetTitle(), u"New title");
  EXPECT_FALSE(library.ReplaceAt(3, edited));
  EXPECT_FALSE(library.RemoveAt(3));
  EXPECT_TRUE(library.RemoveAt(0));
  EXPECT_EQ(library.IndexOf(b), 0) << "the gap is closed";
  EXPECT_EQ(CMediaLibrary::FilePath(u"\\Program Files\\CRV"), u"\\Program Files\\CRV\\hvml.hvl");
}
