// Every persistent setting of the player: the options record and the smaller groups that
// their owners read and write on their own. All of it lives under the product key.
#pragma once
#include <cstdint>
#include <vector>
#include "player/base/file_kind.h"
#include "player/app/settings_store.h"

namespace crv {

constexpr size_t kPathChars = 260;
constexpr size_t kUrlChars = 2084;

enum class Direction { Read, Write };

// The settings value "View": which view the frame shows. 2 and 4 are kept through reading and
// writing but never chosen by the frame.
constexpr uint32_t kViewAlbum = 0;             // thumbnails
constexpr uint32_t kViewPicture = 1;
constexpr uint32_t kViewPictureTransient = 3;  // a picture sub-mode that "OK" returns to kViewPicture
constexpr uint32_t kViewMediaPanel = 5;
constexpr uint32_t kViewHighestKept = 4;       // above it a value reads as kViewMediaPanel

// Options::LandscapeMode.
constexpr uint32_t kLandscapeOff = 0;
constexpr uint32_t kLandscapeOn = 1;
constexpr uint32_t kLandscapeAuto = 2;

// The options record, in its stored order. The frame holds one; the options dialog edits
// a copy and copies it back on OK.
struct Options {
  char16_t FileName[kPathChars];
  uint32_t BkgColor;  // red in the low byte
  uint32_t NotLoadInBkg;
  uint32_t NotCacheImage;
  uint32_t LoadInReducedSize;
  uint32_t iPaqOptimization;
  uint32_t PrevHideBar;
  uint32_t PrevVertScroller;
  uint32_t PrevFileName;
  uint32_t PrevSynchronice;
  uint32_t AutoZoomToFit;
  uint32_t SlideRepeat;
  uint32_t SlideInFullScreen;
  uint32_t WndOnStartSlides;
  uint32_t SlideDelay;      // seconds
  uint32_t SlideDirection;  // 0 forward, 1 reverse, 2 random
  uint32_t PrevPosition;
  uint32_t LandscapeMode;   // kLandscapeOff (portrait), kLandscapeOn, kLandscapeAuto
  uint32_t HTTPPreload;
  char16_t CleanerFolder1[kPathChars];
  char16_t CleanerFolder2[kPathChars];
  char16_t CleanerFolder3[kPathChars];
  uint32_t CleanerCheck1;
  uint32_t CleanerCheck2;
  uint32_t CleanerCheck3;
  uint32_t CleanerAutoOnExit;
  uint32_t ShowSplashScreen;
  uint32_t RepeatVideo;
  uint32_t ExtType;  // a FileKind: what a starting process handed over (kKindNone: nothing)

  // The record as a fresh install has it. PrevPosition has no stored default: it starts at 0.
  static Options Defaults();
};

constexpr uint32_t kHttpPreloadMin = 100;
constexpr uint32_t kHttpPreloadMax = 10000;

// The whole record under "Options". Reading fills the defaults, takes every stored value
// that is present, then applies the range rules.
void LoadSaveOptions(SettingsStore& store, Options& options, Direction direction);
// FileName alone; reading starts from "\My Documents\*.*".
void LoadSaveFileName(SettingsStore& store, char16_t* buffer, size_t capacity, Direction direction);
// ExtType alone; a stored value that is no FileKind reads as kKindNone.
void LoadSaveExtType(SettingsStore& store, uint32_t& kind, Direction direction);

// View and LoadMedia. Reading: a stored View of 0..kViewHighestKept is kept and LoadMedia
// becomes 0; anything else (or nothing) gives kViewMediaPanel and LoadMedia 1.
void LoadSaveView(SettingsStore& store, uint32_t& view, uint32_t& loadMedia, Direction direction);
void ApplyStoredView(bool present, uint32_t stored, uint32_t& view, uint32_t& loadMedia);

// The process-wide view mode and LoadMedia, the built-in loader's media switch, which follows
// it (1 exactly when the media panel shows).
class ViewSettings {
 public:
  uint32_t View() const { return view_; }
  uint32_t LoadMedia() const { return loadMedia_; }
  // The frame's view switch, under the rule reading applies: 0..kViewHighestKept is taken,
  // anything else selects the media panel.
  void SetView(uint32_t view) { ApplyStoredView(true, view, view_, loadMedia_); }
  // Start-up: the media panel unless a view is stored.
  void Load(SettingsStore& store);
  void Save(SettingsStore& store);

 private:
  uint32_t view_ = kViewMediaPanel;
  uint32_t loadMedia_ = 1;
};
ViewSettings& TheViewSettings();

// The player panel's groups.
struct SoundSettings {
  uint32_t volume = 75;  // percent, 0..100
  uint32_t mute = 0;
};
void LoadSaveSound(SettingsStore& store, SoundSettings& sound, Direction direction);
void LoadSaveHideTitle(SettingsStore& store, uint32_t& hideTitle, Direction direction);  // default 1
struct ShuffleSettings {
  uint32_t random = 0;
  uint32_t repeat = 0;
};
void LoadSaveShuffle(SettingsStore& store, ShuffleSettings& shuffle, Direction direction);

// Strings whose default is the caller's: reading leaves the buffer alone when nothing is stored.
void LoadSaveLastPath(SettingsStore& store, char16_t* buffer, size_t capacity, Direction direction);
void LoadSaveLastUrl(SettingsStore& store, char16_t* buffer, size_t capacity, Direction direction);

// The URL history of "Open URL...", under "ListUrls".
void LoadSaveUrlHistory(SettingsStore& store, std::vector<u16>& urls, Direction direction);
// "Clear History": the key goes with every address in it.
void DeleteUrlHistory(SettingsStore& store);

}  // namespace crv
