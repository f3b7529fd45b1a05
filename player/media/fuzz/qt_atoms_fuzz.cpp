// libFuzzer target for the QuickTime atom reader: open the bytes as a movie, then locate and
// read every video sample and decode the sound from a few positions and for every frame, as
// playback would. The frame time table must run forward, and no frame's sound may fill more
// than the wave buffer it is given.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/media/qt_file.h"

namespace {

void CheckFrameTimes(const crv::QtFile& file) {
  if (file.times.size() != file.movie->FrameCount()) __builtin_trap();
  for (size_t i = 0; i < file.times.size(); ++i) {
    const crv::QtFrameTime& t = file.times[i];
    if (t.duration < 0 || t.start < 0 || (i > 0 && t.start < file.times[i - 1].start)) __builtin_trap();
  }
}

// Each frame's sound into a buffer of exactly the size playback gives it.
void FrameSound(crv::QtFile& file, uint32_t frames) {
  const uint32_t capacity = std::min<uint32_t>(crv::QtAudioBufferBytes(file), 1u << 20) & ~1u;
  std::vector<int16_t> buffer(std::max<uint32_t>(capacity / 2, 1));
  for (uint32_t n = 0; n < std::min<uint32_t>(frames, 512) + 2; ++n) {
    if (crv::QtFrameAudio(file, n, buffer.data(), capacity) > capacity) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  crv::MemoryByteSource source(data, size);
  crv::QtFile file;
  if (!crv::QtOpenFile(&source, "fuzz.mov", &file)) return 0;
  crv::QtMovieReader& movie = *file.movie;
  CheckFrameTimes(file);
  std::vector<uint8_t> buffer(std::min<uint32_t>(movie.LargestFrameSize(), 1u << 20));
  const uint32_t frames = std::min<uint32_t>(movie.FrameCount(), 4096);
  for (uint32_t n = 0; n < frames; ++n) {
    uint32_t got = 0;
    if (movie.SeekToSample(n)) movie.ReadSample(buffer.data(), static_cast<uint32_t>(buffer.size()), &got);
  }
  if (crv::QtAudioTrack* audio = movie.Audio()) {
    std::vector<int16_t> samples(4096);
    const uint64_t length = audio->Length();
    for (uint64_t at : {uint64_t{0}, length / 3, length > 0 ? length - 1 : 0, length + 5}) {
      audio->SetPosition(at);
      audio->Decode(samples.data(), static_cast<uint32_t>(samples.size()));
    }
  }
  FrameSound(file, frames);
  for (uint64_t played : {uint64_t{0}, uint64_t{1}, uint64_t{file.audio_length}, UINT64_MAX}) {
    const double seconds = crv::QtElapsedSeconds(file, played, frames);
    if (!std::isfinite(seconds) || seconds < 0) __builtin_trap();
  }
  return 0;
}
