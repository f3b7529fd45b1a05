// What a video source learned of the file it opened last: the frame count, the compression
// code and the sound format. The view's progress information and the decode tool ask for it
// by the video table's row, after the source's Load (or Start) has run.
#pragma once
#include <cstdint>

namespace crv {

struct VideoFacts {
  int32_t frames = 0;
  char codec[5] = {};           // the FourCC or sample-description type, NUL-ended
  bool has_audio = false;
  uint16_t audio_format_tag = 0;  // as the file declares it (1 PCM, 0x11 IMA ADPCM, ...)
  uint16_t audio_channels = 0;
  uint32_t audio_rate = 0;
  uint16_t audio_bits = 0;
  int64_t duration_ms = 0;      // the picture's length: the end of the last frame
};

// Fills `facts` from the source's process-wide state; false when no file has been opened.
using VideoFactsFn = bool (*)(VideoFacts* facts);

// Registers (or, with null, removes) the query of a video table row (kVideoAvi, ...).
void RegisterVideoFacts(int videoFormat, VideoFactsFn query);
// False when the row has no query or the query has nothing.
bool QueryVideoFacts(int videoFormat, VideoFacts* facts);

}  // namespace crv
