#include "player/app/settings.h"

#include <gtest/gtest.h>

#include "player/app/handover.h"
#include "player/app/tests/test_store.h"

using namespace crv;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  std::unique_ptr<SettingsStore> store = NewTestStore();

  SettingsKey& Options(bool write = true) {
    key_ = store->Open(u"Options", write);
    return *key_;
  }
  crv::Options Read() {
    crv::Options o;
    LoadSaveOptions(*store, o, Direction::Read);
    return o;
  }

 private:
  std::unique_ptr<SettingsKey> key_;
};

u16 Str(const char16_t* s) { return u16(s); }

}  // namespace

TEST_F(SettingsTest, EmptyStoreGivesEveryDefault) {
  crv::Options o = Read();
  EXPECT_EQ(Str(o.FileName), u"\\My Documents\\*.*");
  EXPECT_EQ(o.BkgColor, 0u);
  EXPECT_EQ(o.PrevVertScroller, 1u);
  EXPECT_EQ(o.PrevFileName, 1u);
  EXPECT_EQ(o.PrevSynchronice, 1u);
  EXPECT_EQ(o.AutoZoomToFit, 1u);
  EXPECT_EQ(o.SlideRepeat, 0u);
  EXPECT_EQ(o.SlideInFullScreen, 1u);
  EXPECT_EQ(o.WndOnStartSlides, 1u);
  EXPECT_EQ(o.SlideDelay, 5u);
  EXPECT_EQ(o.HTTPPreload, 1000u);
  EXPECT_EQ(Str(o.CleanerFolder1), u"\\My Documents");
  EXPECT_EQ(Str(o.CleanerFolder2), u"\\Temp");
  EXPECT_EQ(Str(o.CleanerFolder3), u"\\Windows\\Temporary Internet Files");
  EXPECT_EQ(o.ShowSplashScreen, 1u);
  EXPECT_EQ(o.RepeatVideo, 1u);
  EXPECT_EQ(o.ExtType, 0u);
  EXPECT_EQ(o.LandscapeMode, 0u);
}

TEST_F(SettingsTest, WriteThenReadRoundTripsTheRecord) {
  crv::Options o = crv::Options::Defaults();
  CopyTo(o.FileName, kPathChars, u"\\My Documents\\holiday.mab");
  o.BkgColor = 0x00FF8040;
  o.SlideDelay = 12;
  o.SlideDirection = 2;
  o.PrevPosition = 7;
  o.LandscapeMode = 2;
  o.HTTPPreload = 2500;
  o.CleanerCheck2 = 1;
  CopyTo(o.CleanerFolder3, kPathChars, u"\\Storage Card\\Cache");
  o.ExtType = 2;
  LoadSaveOptions(*store, o, Direction::Write);

  crv::Options back = Read();
  EXPECT_EQ(Str(back.FileName), u"\\My Documents\\holiday.mab");
  EXPECT_EQ(back.BkgColor, 0x00FF8040u);
  EXPECT_EQ(back.SlideDelay, 12u);
  EXPECT_EQ(back.SlideDirection, 2u);
  EXPECT_EQ(back.PrevPosition, 7u);
  EXPECT_EQ(back.LandscapeMode, 2u);
  EXPECT_EQ(back.HTTPPreload, 2500u);
  EXPECT_EQ(back.CleanerCheck2, 1u);
  EXPECT_EQ(Str(back.CleanerFolder3), u"\\Storage Card\\Cache");
  EXPECT_EQ(back.ExtType, 2u);
}

TEST_F(SettingsTest, RangeRulesClampWhatWasStored) {
  struct Case { const char16_t* name; uint32_t stored; uint32_t expected; uint32_t crv::Options::*field; };
  const Case cases[] = {
      {u"HTTPPreload", 50, 100, &crv::Options::HTTPPreload},
      {u"HTTPPreload", 20000, 10000, &crv::Options::HTTPPreload},
      {u"HTTPPreload", 100, 100, &crv::Options::HTTPPreload},
      {u"LandscapeMode", 7, 0, &crv::Options::LandscapeMode},
      {u"LandscapeMode", 2, 2, &crv::Options::LandscapeMode},
      {u"ExtType", 3, 0, &crv::Options::ExtType},
      {u"ExtType", 2, 2, &crv::Options::ExtType},
  };
  for (const Case& c : cases) {
    Options().WriteDword(c.name, c.stored);
    EXPECT_EQ(Read().*c.field, c.expected) << ToUtf8(c.name) << " stored as " << c.stored;
  }
  uint32_t kind = 9;
  Options().WriteDword(u"ExtType", 5);
  LoadSaveExtType(*store, kind, Direction::Read);
  EXPECT_EQ(kind, 0u);
}

TEST_F(SettingsTest, DwordOfWrongLengthIsIgnored) {
  const uint8_t two[2] = {3, 0};
  Options().SetBinary(u"SlideDelay", two, sizeof two);
  const uint8_t eight[8] = {9, 0, 0, 0, 0, 0, 0, 0};
  Options().SetBinary(u"AutoZoomToFit", eight, sizeof eight);
  const uint8_t four[4] = {0, 0, 0, 0};
  Options().SetBinary(u"PrevFileName", four, sizeof four);  // binary type, but 4 bytes: taken
  crv::Options o = Read();
  EXPECT_EQ(o.SlideDelay, 5u);
  EXPECT_EQ(o.AutoZoomToFit, 1u);
  EXPECT_EQ(o.PrevFileName, 0u);
}

TEST_F(SettingsTest, EmptyStringIsNeverWrittenAndMissingFolderReadsAsDefault) {
  crv::Options o = crv::Options::Defaults();
  CopyTo(o.CleanerFolder1, kPathChars, u"\\Old Folder");
  LoadSaveOptions(*store, o, Direction::Write);
  o.CleanerFolder1[0] = 0;  // the user cleared the text
  LoadSaveOptions(*store, o, Direction::Write);
  EXPECT_EQ(Str(Read().CleanerFolder1), u"\\Old Folder");

  EXPECT_TRUE(Options().DeleteValue(u"CleanerFolder2"));
  EXPECT_EQ(Str(Read().CleanerFolder2), u"\\Temp");
  EXPECT_FALSE(Options().WriteString(u"Anything", u""));
  char16_t buffer[8] = u"garbage";
  EXPECT_FALSE(Options(false).ReadString(u"Anything", buffer, 8));
  EXPECT_EQ(buffer[0], 0) << "a failed read still empties the buffer";
}

TEST_F(SettingsTest, OverlongStringIsIgnoredNotOverrun) {
  u16 longPath(400, u'x');
  Options().SetStringValue(u"FileName", longPath.c_str());
  EXPECT_EQ(Str(Read().FileName), u"\\My Documents\\*.*");
  char16_t small[5] = u"abcd";
  EXPECT_FALSE(Options(false).ReadString(u"FileName", small, 5));
  EXPECT_EQ(small[0], 0);
  Options().SetStringValue(u"FileName", u"\\abc");
  EXPECT_TRUE(Options(false).ReadString(u"FileName", small, 5));
  EXPECT_EQ(Str(small), u"\\abc");
}

TEST_F(SettingsTest, ViewRuleDecidesLoadMedia) {
  struct Case { bool present; uint32_t stored; uint32_t view; uint32_t loadMedia; };
  const Case cases[] = {{false, 0, 5, 1}, {true, 7, 5, 1}, {true, 5, 5, 1}, {true, 3, 3, 0},
                        {true, 0, 0, 0},  {true, 2, 2, 0}, {true, 4, 4, 0}};
  for (const Case& c : cases) {
    if (c.present) Options().WriteDword(u"View", c.stored);
    Options().WriteDword(u"LoadMedia", c.loadMedia ? 0 : 1);  // overwritten by the rule
    uint32_t view = 99, loadMedia = 99;
    LoadSaveView(*store, view, loadMedia, Direction::Read);
    EXPECT_EQ(view, c.view) << "stored " << c.stored;
    EXPECT_EQ(loadMedia, c.loadMedia) << "stored " << c.stored;
  }
  uint32_t view = 1, loadMedia = 1;
  LoadSaveView(*store, view, loadMedia, Direction::Write);
  uint32_t stored = 9;
  EXPECT_TRUE(Options(false).ReadDword(u"LoadMedia", &stored));
  EXPECT_EQ(stored, 0u) << "LoadMedia is written from View, not from memory";
}

// The frame's view switch obeys the rule reading applies, so what it saves reads back the same.
TEST_F(SettingsTest, ViewSwitchKeepsLoadMediaInStepAndSurvivesARestart) {
  ViewSettings view;
  view.SetView(kViewAlbum);
  EXPECT_EQ(view.LoadMedia(), 0u);
  view.SetView(kViewMediaPanel);
  EXPECT_EQ(view.LoadMedia(), 1u);
  view.SetView(9);
  EXPECT_EQ(view.View(), kViewMediaPanel) << "an unknown view falls back to the media panel";
  EXPECT_EQ(view.LoadMedia(), 1u);

  view.SetView(kViewPictureTransient);
  view.Save(*store);
  ViewSettings next;
  next.SetView(kViewAlbum);
  next.Load(*store);
  EXPECT_EQ(next.View(), kViewPictureTransient);
  EXPECT_EQ(next.LoadMedia(), 0u);
  EXPECT_TRUE(Options().DeleteValue(u"View"));
  next.Load(*store);
  EXPECT_EQ(next.View(), kViewMediaPanel) << "nothing stored: the start-up default, not the last value";
  EXPECT_EQ(next.LoadMedia(), 1u);
}

// A start that took the file of its own command line resets ExtType; the options it saves at
// exit must keep it reset, or the next start naming an existing file of no known kind would be
// taken as a hand-over of the old kind.
TEST_F(SettingsTest, ConsumedHandOverIsNotSavedBackWithTheOptions) {
  Options().WriteString(u"FileName", u"\\My Documents\\first.jpg");
  Options().WriteDword(u"ExtType", kKindPicture);
  crv::Options frame = Read();
  EXPECT_EQ(ConsumeStartHandOver(*store, frame, true), kKindPicture);
  LoadSaveOptions(*store, frame, Direction::Write);  // the frame's save at exit
  uint32_t kind = 9;
  LoadSaveExtType(*store, kind, Direction::Read);
  EXPECT_EQ(kind, kKindNone);

  crv::Options next = Read();
  CopyTo(next.FileName, kPathChars, u"\\My Documents\\song.m4a");  // the next command line
  EXPECT_EQ(ConsumeStartHandOver(*store, next, true), kKindNone);
}

// The kind taken at start is the current path's own, and only for a path that exists.
TEST_F(SettingsTest, StartHandOverClassifiesTheExistingPath) {
  struct Case { uint32_t extType; const char16_t* path; bool exists; FileKind taken; };
  const Case cases[] = {
      {kKindMedia, u"\\My Documents\\clip.WMV", true, kKindMedia},
      {kKindPicture, u"\\My Documents\\clip.avi", true, kKindMedia},  // the path decides, not ExtType
      {kKindPicture, u"\\My Documents\\song.m4a", true, kKindNone},   // a stale ExtType
      {kKindPicture, u"\\My Documents\\gone.jpg", false, kKindNone},
      {kKindNone, u"\\My Documents\\a.jpg", true, kKindNone},
  };
  for (const Case& c : cases) {
    Options().WriteDword(u"ExtType", c.extType);
    crv::Options o = Read();
    CopyTo(o.FileName, kPathChars, c.path);
    EXPECT_EQ(ConsumeStartHandOver(*store, o, c.exists), c.taken) << ToUtf8(c.path);
    EXPECT_EQ(o.ExtType, kKindNone);
    uint32_t stored = 9;
    EXPECT_TRUE(Options(false).ReadDword(u"ExtType", &stored));
    EXPECT_EQ(stored, kKindNone) << ToUtf8(c.path);
  }
}

TEST_F(SettingsTest, PanelGroupsAndUrlHistory) {
  SoundSettings sound;
  LoadSaveSound(*store, sound, Direction::Read);
  EXPECT_EQ(sound.volume, 75u);
  Options().WriteDword(u"SoundVolume", 250);
  LoadSaveSound(*store, sound, Direction::Read);
  EXPECT_EQ(sound.volume, 100u);

  char16_t url[kUrlChars] = u"http://keep/";
  LoadSaveLastUrl(*store, url, kUrlChars, Direction::Read);
  EXPECT_EQ(Str(url), u"http://keep/") << "nothing stored leaves the caller's default";

  std::vector<u16> urls = {u"http://127.0.0.1/a.avi", u"http://127.0.0.1/b.mov"};
  LoadSaveUrlHistory(*store, urls, Direction::Write);
  std::vector<u16> back{u"stale"};
  LoadSaveUrlHistory(*store, back, Direction::Read);
  EXPECT_EQ(back, urls);
}
