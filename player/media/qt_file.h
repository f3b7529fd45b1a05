// QtFile: the opened QuickTime movie as the QuickTime source plays it (the same fields as the
// AVI source's parsed file), its frame time table in microseconds, the palette of 8-bit video
// and the 16-bit mono format its sound is played in.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "player/media/qt_movie.h"

namespace crv {

// One video sample: start and duration in microseconds.
struct QtFrameTime {
  int64_t start = 0;
  int64_t duration = 0;
};

struct QtFile {
  char name[256] = {};                   // for the dump only
  std::vector<QtFrameTime> times;        // index, first word
  std::unique_ptr<QtMovieReader> movie;  // index, second word
  int32_t has_audio = 0;                 // sound tracks, 0 when the first is not "raw "/"ima4"
  int32_t has_video = 0;                 // video tracks
  int32_t frame_count = 0;
  int32_t width = 0, height = 0;
  char compression[4] = {};
  int32_t bit_count = 0;
  bool has_palette = false;
  uint32_t palette[256] = {};            // 0x00RRGGBB
  int32_t audio_channels = 0, sample_rate = 0, audio_bits = 0;
  uint32_t audio_length = 0;             // in samples
  int32_t microseconds_per_frame = 0;    // always 0: the time table is used instead
};

// The standard Macintosh 256-colour system palette, 0x00RRGGBB (entry 0 white, 255 black).
void QtMacPalette(uint32_t palette[256]);

// The frame times of `frame_count` samples from a time-to-sample table: each of an entry's
// samples lasts duration x 1,000,000 / time scale microseconds (truncated), and starts where
// the previous one ended. Samples the table does not reach repeat its last duration.
std::vector<QtFrameTime> QtBuildFrameTimes(const std::vector<QtTimeToSample>& stts, uint32_t time_scale,
                                           uint32_t frame_count);

// Opens the movie read through `source` (which must outlive `file`) into `file`. False when
// there is no "moov" or the movie is broken; `name` is copied for the dump.
bool QtOpenFile(ByteSource* source, const char* name, QtFile* file);

// The wave device's format: PCM, one channel, the track's rate, 16 bits.
struct QtWaveFormat {
  uint16_t format_tag = 1;
  uint16_t channels = 1;
  uint32_t samples_per_second = 0;
  uint32_t average_bytes_per_second = 0;
  uint16_t block_align = 2;
  uint16_t bits_per_sample = 16;
};
QtWaveFormat QtAudioFormat(const QtFile& file);
// The start sample of a frame, and the samples of a duration, at the file's sample rate.
uint64_t QtSamplesAt(const QtFile& file, int64_t microseconds);
// The bytes of one wave buffer: 2 x the longest frame's duration in samples.
uint32_t QtAudioBufferBytes(const QtFile& file);
// Fills one wave buffer with the sound of video frame `frame`: from the sample at its start
// time, its duration's worth of samples (at most `capacity` bytes' worth; silence past the
// end of the sound). The bytes filled, 0 without sound or for a frame out of range.
uint32_t QtFrameAudio(QtFile& file, uint32_t frame, int16_t* buffer, uint32_t capacity);

// Seconds played, for the view's position timer: the larger of the sound's position in samples
// over its rate and the video's position in frames over its frame rate; 0 when neither
// position is positive. The same frame rate serves every compression.
double QtElapsedSeconds(const QtFile& file, uint64_t audio_position, uint32_t video_position);

}  // namespace crv
