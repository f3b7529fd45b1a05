#include "player/app/settings.h"

namespace crv {
namespace {

constexpr char16_t kOptionsKey[] = u"Options";
constexpr char16_t kDefaultFileName[] = u"\\My Documents\\*.*";
constexpr char16_t kDefaultCleaner1[] = u"\\My Documents";
constexpr char16_t kDefaultCleaner2[] = u"\\Temp";
constexpr char16_t kDefaultCleaner3[] = u"\\Windows\\Temporary Internet Files";

// One DWORD in either direction.
void Dword(SettingsKey& key, const char16_t* name, uint32_t& field, Direction direction) {
  if (direction == Direction::Read)
    key.ReadDword(name, &field);
  else
    key.WriteDword(name, field);
}

void String(SettingsKey& key, const char16_t* name, char16_t* field, size_t capacity, Direction direction) {
  if (direction == Direction::Read) {
    // A value that is absent leaves the field as it was.
    std::vector<char16_t> read(capacity);
    if (key.ReadString(name, read.data(), static_cast<uint32_t>(capacity))) CopyTo(field, capacity, read.data());
  } else {
    key.WriteString(name, field);
  }
}

uint32_t Clamp(uint32_t v, uint32_t lo, uint32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

std::unique_ptr<SettingsKey> OpenFor(SettingsStore& store, const char16_t* subkey, Direction direction) {
  return store.Open(subkey, direction == Direction::Write);
}

void ApplyRangeRules(Options& o) {
  if (o.ExtType > kKindMedia) o.ExtType = kKindNone;
  if (o.LandscapeMode > kLandscapeAuto) o.LandscapeMode = kLandscapeOff;
  o.HTTPPreload = Clamp(o.HTTPPreload, kHttpPreloadMin, kHttpPreloadMax);
  if (!o.CleanerFolder1[0]) CopyTo(o.CleanerFolder1, kPathChars, kDefaultCleaner1);
  if (!o.CleanerFolder2[0]) CopyTo(o.CleanerFolder2, kPathChars, kDefaultCleaner2);
  if (!o.CleanerFolder3[0]) CopyTo(o.CleanerFolder3, kPathChars, kDefaultCleaner3);
}

void BkgColor(SettingsKey& key, uint32_t& colour, Direction direction) {
  if (direction == Direction::Write) {
    key.SetBinary(u"BkgColor", &colour, sizeof colour);
    return;
  }
  uint32_t data = 0, size = sizeof data;
  if (key.QueryValue(u"BkgColor", &data, &size) && size == sizeof data) colour = data;
}

}  // namespace

Options Options::Defaults() {
  Options o{};
  CopyTo(o.FileName, kPathChars, kDefaultFileName);
  o.PrevVertScroller = 1;
  o.PrevFileName = 1;
  o.PrevSynchronice = 1;
  o.AutoZoomToFit = 1;
  o.SlideInFullScreen = 1;
  o.WndOnStartSlides = 1;
  o.SlideDelay = 5;
  o.HTTPPreload = 1000;
  CopyTo(o.CleanerFolder1, kPathChars, kDefaultCleaner1);
  CopyTo(o.CleanerFolder2, kPathChars, kDefaultCleaner2);
  CopyTo(o.CleanerFolder3, kPathChars, kDefaultCleaner3);
  o.ShowSplashScreen = 1;
  o.RepeatVideo = 1;
  return o;
}

void LoadSaveOptions(SettingsStore& store, Options& o, Direction d) {
  if (d == Direction::Read) o = Options::Defaults();
  auto key = OpenFor(store, kOptionsKey, d);
  if (key) {
    SettingsKey& k = *key;
    String(k, u"FileName", o.FileName, kPathChars, d);
    BkgColor(k, o.BkgColor, d);
    Dword(k, u"NotLoadInBkg", o.NotLoadInBkg, d);
    Dword(k, u"NotCacheImage", o.NotCacheImage, d);
    Dword(k, u"LoadInReducedSize", o.LoadInReducedSize, d);
    Dword(k, u"iPaqOptimization", o.iPaqOptimization, d);
    Dword(k, u"PrevHideBar", o.PrevHideBar, d);
    Dword(k, u"PrevVertScroller", o.PrevVertScroller, d);
    Dword(k, u"PrevFileName", o.PrevFileName, d);
    Dword(k, u"PrevSynchronice", o.PrevSynchronice, d);
    Dword(k, u"AutoZoomToFit", o.AutoZoomToFit, d);
    Dword(k, u"SlideRepeat", o.SlideRepeat, d);
    Dword(k, u"SlideInFullScreen", o.SlideInFullScreen, d);
    Dword(k, u"WndOnStartSlides", o.WndOnStartSlides, d);
    Dword(k, u"SlideDelay", o.SlideDelay, d);
    Dword(k, u"SlideDirection", o.SlideDirection, d);
    Dword(k, u"PrevPosition", o.PrevPosition, d);
    Dword(k, u"LandscapeMode", o.LandscapeMode, d);
    Dword(k, u"HTTPPreload", o.HTTPPreload, d);
    String(k, u"CleanerFolder1", o.CleanerFolder1, kPathChars, d);
    String(k, u"CleanerFolder2", o.CleanerFolder2, kPathChars, d);
    String(k, u"CleanerFolder3", o.CleanerFolder3, kPathChars, d);
    Dword(k, u"CleanerCheck1", o.CleanerCheck1, d);
    Dword(k, u"CleanerCheck2", o.CleanerCheck2, d);
    Dword(k, u"CleanerCheck3", o.CleanerCheck3, d);
    Dword(k, u"CleanerAutoOnExit", o.CleanerAutoOnExit, d);
    Dword(k, u"ShowSplashScreen", o.ShowSplashScreen, d);
    Dword(k, u"RepeatVideo", o.RepeatVideo, d);
    Dword(k, u"ExtType", o.ExtType, d);
  }
  if (d == Direction::Read) ApplyRangeRules(o);
}

void LoadSaveFileName(SettingsStore& store, char16_t* buffer, size_t capacity, Direction d) {
  if (d == Direction::Read) CopyTo(buffer, capacity, kDefaultFileName);
  if (auto key = OpenFor(store, kOptionsKey, d)) String(*key, u"FileName", buffer, capacity, d);
}

void LoadSaveExtType(SettingsStore& store, uint32_t& kind, Direction d) {
  if (d == Direction::Read) kind = kKindNone;
  if (auto key = OpenFor(store, kOptionsKey, d)) Dword(*key, u"ExtType", kind, d);
  if (d == Direction::Read && kind > kKindMedia) kind = kKindNone;
}

void ApplyStoredView(bool present, uint32_t stored, uint32_t& view, uint32_t& loadMedia) {
  if (present && stored <= kViewHighestKept) {
    view = stored;
    loadMedia = 0;
  } else {
    view = kViewMediaPanel;
    loadMedia = 1;
  }
}

void LoadSaveView(SettingsStore& store, uint32_t& view, uint32_t& loadMedia, Direction d) {
  auto key = OpenFor(store, kOptionsKey, d);
  if (d == Direction::Write) {
    if (!key) return;
    key->WriteDword(u"View", view);
    key->WriteDword(u"LoadMedia", view == kViewMediaPanel ? 1u : 0u);
    return;
  }
  uint32_t stored = kViewMediaPanel;
  bool present = key && key->ReadDword(u"View", &stored);
  ApplyStoredView(present, stored, view, loadMedia);
}

void ViewSettings::Load(SettingsStore& store) {
  view_ = kViewMediaPanel;
  loadMedia_ = 1;
  LoadSaveView(store, view_, loadMedia_, Direction::Read);
}

void ViewSettings::Save(SettingsStore& store) { LoadSaveView(store, view_, loadMedia_, Direction::Write); }

ViewSettings& TheViewSettings() {
  static ViewSettings settings;
  return settings;
}

void LoadSaveSound(SettingsStore& store, SoundSettings& s, Direction d) {
  if (auto key = OpenFor(store, kOptionsKey, d)) {
    Dword(*key, u"SoundVolume", s.volume, d);
    Dword(*key, u"SoundMute", s.mute, d);
  }
  if (d == Direction::Read) {
    if (s.volume > 100) s.volume = 100;
    s.mute = s.mute ? 1 : 0;
  }
}

void LoadSaveHideTitle(SettingsStore& store, uint32_t& hideTitle, Direction d) {
  if (auto key = OpenFor(store, kOptionsKey, d)) Dword(*key, u"HideTitle", hideTitle, d);
}

void LoadSaveShuffle(SettingsStore& store, ShuffleSettings& s, Direction d) {
  if (auto key = OpenFor(store, kOptionsKey, d)) {
    Dword(*key, u"ShuffleRandom", s.random, d);
    Dword(*key, u"ShuffleRepeat", s.repeat, d);
  }
}

void LoadSaveLastPath(SettingsStore& store, char16_t* buffer, size_t capacity, Direction d) {
  if (auto key = OpenFor(store, kOptionsKey, d)) String(*key, u"LastPath", buffer, capacity, d);
}

void LoadSaveLastUrl(SettingsStore& store, char16_t* buffer, size_t capacity, Direction d) {
  if (auto key = OpenFor(store, kOptionsKey, d)) String(*key, u"LastLoaddedUrl", buffer, capacity, d);
}

void DeleteUrlHistory(SettingsStore& store) { store.DeleteKey(u"ListUrls"); }

void LoadSaveUrlHistory(SettingsStore& store, std::vector<u16>& urls, Direction d) {
  auto key = OpenFor(store, u"ListUrls", d);
  if (d == Direction::Read) {
    urls.clear();
    uint32_t count = 0;
    if (!key || !key->ReadDword(u"count", &count)) return;
    // A damaged count must not make us read forever: the history is small by nature.
    if (count > 1000) count = 1000;
    std::vector<char16_t> buffer(kUrlChars + 1);
    for (uint32_t i = 0; i < count; ++i) {
      u16 name = u"Url" + Decimal(i);
      if (key->ReadString(name.c_str(), buffer.data(), static_cast<uint32_t>(buffer.size())) && buffer[0])
        urls.emplace_back(buffer.data());
    }
    return;
  }
  // Rewritten whole: no address of a longer history stays behind.
  key.reset();
  store.DeleteKey(u"ListUrls");
  key = OpenFor(store, u"ListUrls", d);
  if (!key) return;
  key->WriteDword(u"count", static_cast<uint32_t>(urls.size()));
  for (size_t i = 0; i < urls.size(); ++i) {
    u16 name = u"Url" + Decimal(static_cast<long long>(i));
    u16 url = urls[i].substr(0, kUrlChars);
    key->WriteString(name.c_str(), url.c_str());
  }
}

}  // namespace crv
