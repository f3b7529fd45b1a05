#include "player/media/qt_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace crv {

void QtMacPalette(uint32_t palette[256]) {
  static const uint8_t kCube[6] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
  static const uint8_t kRamp[10] = {0xEE, 0xDD, 0xBB, 0xAA, 0x88, 0x77, 0x55, 0x44, 0x22, 0x11};
  int n = 0;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) {
        if (r == 5 && g == 5 && b == 5) continue;  // black comes last
        palette[n++] = (uint32_t{kCube[r]} << 16) | (uint32_t{kCube[g]} << 8) | kCube[b];
      }
  for (int shift : {16, 8, 0})
    for (uint8_t level : kRamp) palette[n++] = uint32_t{level} << shift;
  for (uint8_t level : kRamp) palette[n++] = (uint32_t{level} << 16) | (uint32_t{level} << 8) | level;
  palette[n] = 0;
}

std::vector<QtFrameTime> QtBuildFrameTimes(const std::vector<QtTimeToSample>& stts, uint32_t time_scale,
                                           uint32_t frame_count) {
  std::vector<QtFrameTime> times(frame_count);
  if (time_scale == 0) return times;  // no clock: every frame at 0
  int64_t start = 0, duration = 0;
  size_t entry = 0;
  uint32_t used = 0;
  for (uint32_t i = 0; i < frame_count; ++i) {
    while (entry < stts.size() && used == stts[entry].count) {
      ++entry;
      used = 0;
    }
    if (entry < stts.size()) {
      duration = static_cast<int64_t>(uint64_t{stts[entry].duration} * 1000000 / time_scale);
      ++used;
    }
    times[i] = QtFrameTime{start, duration};
    start = duration > INT64_MAX - start ? INT64_MAX : start + duration;  // hostile durations
  }
  return times;
}

namespace {

void FillVideo(const QtMovieReader& movie, QtFile* file) {
  file->has_video = static_cast<int32_t>(movie.VideoTrackCount());
  if (!movie.Video()) return;
  file->frame_count = static_cast<int32_t>(movie.FrameCount());
  file->width = static_cast<int32_t>(movie.Width());
  file->height = static_cast<int32_t>(movie.Height());
  PutBe32(reinterpret_cast<uint8_t*>(file->compression), movie.VideoCompression());
  file->bit_count = static_cast<int32_t>(movie.Depth());
  file->times = QtBuildFrameTimes(movie.Video()->tables.times, movie.Video()->time_scale, movie.FrameCount());
  if (file->bit_count >= 1 && file->bit_count <= 8) {
    // The description's own colours when it carries them, else the system palette.
    const QtSampleDescription* d = movie.VideoDescription();
    if (d && d->has_colour_table && d->colours.size() == 256)
      std::copy(d->colours.begin(), d->colours.end(), file->palette);
    else
      QtMacPalette(file->palette);
    file->has_palette = true;
  }
}

void FillAudio(const QtMovieReader& movie, QtFile* file) {
  const QtAudioTrack* audio = movie.Audio();
  file->has_audio = audio && audio->Decodable() && audio->SampleRate() > 0
                        ? static_cast<int32_t>(movie.AudioTrackCount()) : 0;
  if (!file->has_audio) return;
  file->audio_channels = static_cast<int32_t>(audio->Channels());
  file->sample_rate = static_cast<int32_t>(audio->SampleRate());
  file->audio_bits = static_cast<int32_t>(audio->Bits());
  file->audio_length = static_cast<uint32_t>(std::min<uint64_t>(audio->Length(), UINT32_MAX));
}

}  // namespace

bool QtOpenFile(ByteSource* source, const char* name, QtFile* file) {
  *file = QtFile();
  if (name) {
    std::strncpy(file->name, name, 253);
    file->name[253] = 0;
  }
  file->movie = std::make_unique<QtMovieReader>();
  if (!file->movie->Open(source)) {
    *file = QtFile();
    return false;
  }
  FillVideo(*file->movie, file);
  FillAudio(*file->movie, file);
  return true;
}

QtWaveFormat QtAudioFormat(const QtFile& file) {
  QtWaveFormat f;
  f.samples_per_second = static_cast<uint32_t>(file.sample_rate);
  f.average_bytes_per_second = 2 * f.samples_per_second;
  return f;
}

uint64_t QtSamplesAt(const QtFile& file, int64_t microseconds) {
  if (microseconds <= 0 || file.sample_rate <= 0) return 0;
  // Split so that long durations cannot overflow.
  const uint64_t us = static_cast<uint64_t>(microseconds), rate = static_cast<uint64_t>(file.sample_rate);
  return us / 1000000 * rate + us % 1000000 * rate / 1000000;
}

uint32_t QtAudioBufferBytes(const QtFile& file) {
  int64_t longest = 0;
  for (const QtFrameTime& t : file.times) longest = std::max(longest, t.duration);
  return static_cast<uint32_t>(std::min<uint64_t>(2 * QtSamplesAt(file, longest), UINT32_MAX));
}

uint32_t QtFrameAudio(QtFile& file, uint32_t frame, int16_t* buffer, uint32_t capacity) {
  QtAudioTrack* audio = file.has_audio && file.movie ? file.movie->Audio() : nullptr;
  if (!audio || frame >= file.times.size()) return 0;
  const QtFrameTime& t = file.times[frame];
  const uint32_t samples = static_cast<uint32_t>(std::min<uint64_t>(QtSamplesAt(file, t.duration), capacity / 2));
  audio->SetPosition(QtSamplesAt(file, t.start));
  audio->Decode(buffer, samples);
  return samples * 2;
}

double QtElapsedSeconds(const QtFile& file, uint64_t audio_position, uint32_t video_position) {
  double seconds = 0;
  if (file.has_audio && file.sample_rate > 0 && audio_position > 0)
    seconds = static_cast<double>(audio_position) / file.sample_rate;
  const double rate = file.movie ? file.movie->FrameRate() : 0;
  if (rate > 0 && video_position > 0) seconds = std::max(seconds, video_position / rate);
  return seconds;
}

}  // namespace crv
