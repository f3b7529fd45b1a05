#include "player/media/mpeg_library.h"

#include <cstring>

namespace crv {

const char* const kMpegEntryNames[13] = {"n", "a", "p", "c", "x", "g", "o", "s", "m", "v", "mr", "br", "cc"};

namespace {

struct LibraryState {
  MpegLibraryLoader* loader = nullptr;  // the loader that loaded the module
  void* module = nullptr;
  MpegEntries entries{};
  std::u16string tempName;
  uint32_t stateBlock[4] = {};
  std::string probedPath;
  uint32_t probedSize = 0;
};

LibraryState& State() {
  static LibraryState state;
  return state;
}

// An address the loader found, as the entry's function type.
template <typename F>
void Bind(F& entry, void* address) {
  static_assert(sizeof(F) == sizeof(void*), "entries are plain function pointers");
  std::memcpy(&entry, &address, sizeof entry);
}

void BindAll(void* const (&found)[13], MpegEntries* e) {
  Bind(e->messageWindow, found[0]);
  Bind(e->probe, found[1]);
  Bind(e->shutdown, found[2]);
  Bind(e->present, found[3]);
  Bind(e->suspend, found[4]);
  Bind(e->grab, found[5]);
  Bind(e->rewind, found[6]);
  Bind(e->stop, found[7]);
  Bind(e->mute, found[8]);
  Bind(e->volume, found[9]);
  Bind(e->positionMs, found[10]);
  Bind(e->seekMs, found[11]);
  Bind(e->playbackEnded, found[12]);
}

constexpr int kOptionalStop = 7;  // "s": the view calls it only when it is there

void ForgetTempFile(MpegLibraryLoader& loader) {
  LibraryState& s = State();
  if (!s.tempName.empty()) loader.RemoveTempFile(s.tempName);
  s.tempName.clear();
}

}  // namespace

void UnscrambleLibrary(uint8_t* bytes, size_t count) {
  // Downwards, so that byte i - 1 is still the stored value when byte i is undone.
  for (size_t i = count; i-- > 1;) bytes[i] ^= static_cast<uint8_t>(bytes[i - 1] + 1);
}

int32_t LoadMpegLibraryWith(MpegLibraryLoader& loader) {
  LibraryState& s = State();
  if (s.module) return 0;
  s.probedPath.clear();
  s.probedSize = 0;
  s.stateBlock[0] = 0;

  if (s.tempName.empty()) s.tempName = loader.CreateTempName();
  if (s.tempName.empty()) return -1;

  std::vector<uint8_t> bytes;
  if (!loader.ReadLibraryFile(&bytes) || bytes.empty()) {
    ForgetTempFile(loader);
    return -1;
  }
  UnscrambleLibrary(bytes.data(), bytes.size());
  if (!loader.WriteTempFile(s.tempName, bytes.data(), bytes.size())) {
    ForgetTempFile(loader);
    return -1;
  }
  void* module = loader.OpenModule(s.tempName);
  if (!module) {
    ForgetTempFile(loader);
    return -1;
  }

  void* found[13];
  bool complete = true;
  for (int i = 0; i < 13; ++i) {
    found[i] = loader.FindEntry(module, kMpegEntryNames[i]);
    if (!found[i] && i != kOptionalStop) complete = false;
  }
  MpegEntries entries{};
  BindAll(found, &entries);
  // A library without its window cannot tell the view that a stream ended.
  if (!complete || !entries.messageWindow()) {
    loader.CloseModule(module);
    ForgetTempFile(loader);
    return -1;
  }
  s.loader = &loader;
  s.module = module;
  s.entries = entries;
  return 0;
}

void ReleaseMpegLibrary() {
  LibraryState& s = State();
  if (!s.module) return;
  s.entries.shutdown(0);
  s.loader->CloseModule(s.module);
  s.module = nullptr;
  s.entries = MpegEntries{};
  ForgetTempFile(*s.loader);
  s.loader = nullptr;
  s.probedPath.clear();
  s.probedSize = 0;
  s.stateBlock[0] = 0;
}

const MpegEntries* LoadedMpegEntries() { return State().module ? &State().entries : nullptr; }
uint32_t* MpegStateBlock() { return State().stateBlock; }
const std::u16string& MpegLibraryTempName() { return State().tempName; }

const std::string& LastProbedMpegPath() { return State().probedPath; }
uint32_t LastProbedMpegSize() { return State().probedSize; }
void SetLastProbedMpeg(const std::string& path, uint32_t sizeWord) {
  State().probedPath = path;
  State().probedSize = sizeWord;
}

}  // namespace crv
