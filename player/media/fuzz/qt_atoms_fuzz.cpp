// libFuzzer target for the QuickTime atom reader: open the bytes as a movie, then locate and
// read every video sample and decode the sound from a few positions, as playback would.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/media/qt_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  crv::QtMemorySource source(data, size);
  crv::QtFile file;
  if (!crv::QtOpenFile(&source, "fuzz.mov", &file)) return 0;
  crv::QtMovieReader& movie = *file.movie;
  std::vector<uint8_t> buffer(std::min<uint32_t>(movie.LargestFrameSize(), 1u << 20));
  const uint32_t frames = std::min<uint32_t>(movie.FrameCount(), 4096);
  for (uint32_t n = 0; n < frames; ++n) {
    uint32_t got = 0;
    if (movie.SeekToSample(n)) movie.ReadSample(buffer.data(), static_cast<uint32_t>(buffer.size()), &got);
  }
  (void)crv::QtAudioBufferBytes(file);
  if (crv::QtAudioTrack* audio = movie.Audio()) {
    std::vector<int16_t> samples(4096);
    const uint64_t length = audio->Length();
    for (uint64_t at : {uint64_t{0}, length / 3, length > 0 ? length - 1 : 0, length + 5}) {
      audio->SetPosition(at);
      audio->Decode(samples.data(), static_cast<uint32_t>(samples.size()));
    }
  }
  return 0;
}
