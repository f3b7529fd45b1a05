// A stand-in for the MPEG library and its delivery: a loader that keeps the "files" it writes
// and deletes in memory and finds entries that record every call, so the delivery and the
// source can be driven natively.
#pragma once
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "player/media/mpeg_library.h"

namespace crv::test {

struct FakeMpegLibrary {
  std::vector<std::string> calls;  // "a:PATH:buffer", "c", "x1", "o0", "v0.75", ...
  uint32_t probeResult = 0x00F00140;
  std::vector<uint16_t> firstPicture;  // what "a" fills (probe-sized)
  std::vector<uint16_t> playing;       // what "c" hands to the frame callback; empty: nothing
  std::vector<uint16_t> shown;         // what "c" handed out last ("g" gives it)
  void* window = reinterpret_cast<void*>(0x1F00);
  int32_t seekResult = 7;
  int32_t positionResult = 1234;

  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& c : calls) n += c.compare(0, prefix.size(), prefix) == 0;
    return n;
  }
};

inline FakeMpegLibrary& FakeMpeg() {
  static FakeMpegLibrary library;
  return library;
}

inline void* CRV_MPEG_CALL FakeWindow() {
  FakeMpeg().calls.push_back("n");
  return FakeMpeg().window;
}
inline uint32_t CRV_MPEG_CALL FakeProbe(const char* path, uint16_t* picture) {
  FakeMpegLibrary& f = FakeMpeg();
  f.calls.push_back(std::string("a:") + path + (picture ? ":buffer" : ""));
  if (picture && f.probeResult) {
    const size_t pixels = size_t(f.probeResult & 0xFFFF) * (f.probeResult >> 16);
    for (size_t i = 0; i < pixels; ++i) picture[i] = i < f.firstPicture.size() ? f.firstPicture[i] : 0;
  }
  return f.probeResult;
}
inline int32_t CRV_MPEG_CALL FakeShutdown(uintptr_t) {
  FakeMpeg().calls.push_back("p");
  return 0;
}
inline int32_t CRV_MPEG_CALL FakePresent(MpegFrameCallback callback, uintptr_t, uint32_t* state) {
  FakeMpegLibrary& f = FakeMpeg();
  f.calls.push_back("c" + std::to_string(state ? state[0] : 99));
  if (!f.playing.empty()) {
    f.shown = f.playing;
    callback(f.shown.data());
  }
  return 1;
}
inline int32_t CRV_MPEG_CALL FakeSuspend(int32_t on, void*, uint32_t*) {
  FakeMpeg().calls.push_back("x" + std::to_string(on));
  return 0;
}
inline int32_t CRV_MPEG_CALL FakeGrab(MpegGrabCallback grab) {
  FakeMpegLibrary& f = FakeMpeg();
  f.calls.push_back("g");
  if (!f.shown.empty()) grab(f.shown.data());
  return 0;
}
inline int32_t CRV_MPEG_CALL FakeRewind(int32_t flag) {
  FakeMpeg().calls.push_back("o" + std::to_string(flag));
  return 0;
}
inline int32_t CRV_MPEG_CALL FakeStop(int32_t word) {
  FakeMpeg().calls.push_back("s" + std::to_string(word));
  return 0;
}
inline int32_t CRV_MPEG_CALL FakeMute(int32_t flag, uintptr_t, uintptr_t) {
  FakeMpeg().calls.push_back("m" + std::to_string(flag));
  return 0;
}
inline int32_t CRV_MPEG_CALL FakeVolume(double level) {
  FakeMpeg().calls.push_back("v" + std::to_string(static_cast<int>(level * 100 + 0.5)));
  return 0;
}
inline int32_t CRV_MPEG_CALL FakePositionMs(int32_t position, int32_t range) {
  FakeMpeg().calls.push_back("mr" + std::to_string(position) + "/" + std::to_string(range));
  return FakeMpeg().positionResult;
}
inline int32_t CRV_MPEG_CALL FakeSeekMs(int32_t ms) {
  FakeMpeg().calls.push_back("br" + std::to_string(ms));
  return FakeMpeg().seekResult;
}
inline int32_t CRV_MPEG_CALL FakePlaybackEnded(uintptr_t) {
  FakeMpeg().calls.push_back("cc");
  return 0;
}

class FakeMpegLoader final : public MpegLibraryLoader {
 public:
  std::vector<uint8_t> scrambled{0x10, 0x21};  // "codecs.dat"
  bool haveName = true;
  bool readable = true;
  bool writable = true;
  bool loadable = true;
  std::set<std::string> missing;  // entries the module lacks

  int namesMade = 0;
  int opened = 0;
  int closed = 0;
  std::map<std::u16string, std::vector<uint8_t>> files;  // written and not deleted
  std::vector<std::u16string> removed;

  std::u16string CreateTempName() override {
    if (!haveName) return {};
    ++namesMade;
    std::u16string name = u"\\Temp\\_w~" + std::u16string(1, char16_t(u'0' + namesMade)) + u".tmp";
    files[name];  // the name is taken by creating the file, empty
    return name;
  }
  bool ReadLibraryFile(std::vector<uint8_t>* bytes) override {
    if (!readable) return false;
    *bytes = scrambled;
    return true;
  }
  bool WriteTempFile(const std::u16string& path, const uint8_t* bytes, size_t count) override {
    if (!writable) return false;
    files[path].assign(bytes, bytes + count);
    return true;
  }
  void* OpenModule(const std::u16string& path) override {
    if (!loadable || !files.count(path)) return nullptr;
    ++opened;
    return this;
  }
  void* FindEntry(void* module, const char* name) override {
    if (module != this || missing.count(name)) return nullptr;
    static const std::map<std::string, void*> entries = {
        {"n", reinterpret_cast<void*>(&FakeWindow)},        {"a", reinterpret_cast<void*>(&FakeProbe)},
        {"p", reinterpret_cast<void*>(&FakeShutdown)},      {"c", reinterpret_cast<void*>(&FakePresent)},
        {"x", reinterpret_cast<void*>(&FakeSuspend)},       {"g", reinterpret_cast<void*>(&FakeGrab)},
        {"o", reinterpret_cast<void*>(&FakeRewind)},        {"s", reinterpret_cast<void*>(&FakeStop)},
        {"m", reinterpret_cast<void*>(&FakeMute)},          {"v", reinterpret_cast<void*>(&FakeVolume)},
        {"mr", reinterpret_cast<void*>(&FakePositionMs)},   {"br", reinterpret_cast<void*>(&FakeSeekMs)},
        {"cc", reinterpret_cast<void*>(&FakePlaybackEnded)}};
    auto it = entries.find(name);
    return it == entries.end() ? nullptr : it->second;
  }
  void CloseModule(void* module) override {
    if (module == this) ++closed;
  }
  void RemoveTempFile(const std::u16string& path) override {
    files.erase(path);
    removed.push_back(path);
  }
};

}  // namespace crv::test
