// libFuzzer target for the RIFF AVI parser: parse the bytes (with the dump going nowhere),
// then read every indexed video frame and the sound of frames in order and out of order, as
// playback and its read-ahead do.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/media/avi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  crv::MemoryByteSource bytes(data, size);
  crv::AviFile file;
  if (!crv::AviParse(bytes, "fuzz.avi", nullptr, &file)) return 0;
  uint32_t palette[256];
  crv::AviPaletteRgb(file, palette);
  std::vector<uint8_t> frame(std::min<uint32_t>(file.largestFrame, 1u << 22) + 1);
  const int32_t frames = std::min<int32_t>(file.frameCount, 4096);
  for (int32_t i = 0; i < frames; ++i) {
    uint32_t got = 0;
    crv::AviReadFrame(file, bytes, i, frame.data(), static_cast<uint32_t>(frame.size()), &got);
  }
  const uint32_t capacity = crv::AviAudioCapacity(file);
  if (capacity) {
    std::vector<uint8_t> sound(capacity);
    const int64_t last = std::max<int64_t>(frames, 1) + 20;
    for (int64_t f = 0; f < std::min<int64_t>(last, 512); ++f)
      crv::AviReadFrameAudio(file, bytes, f, sound.data(), capacity);
    for (int64_t f : {last, int64_t{3}, int64_t{0}, int64_t{1} << 30, int64_t{-1}})
      crv::AviReadFrameAudio(file, bytes, f, sound.data(), capacity);
  }
  return 0;
}
