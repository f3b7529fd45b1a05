// Test movies written by the ffmpeg program, and what ffprobe says about a movie.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace conv_test {

// Runs a shell command; true when it exits with 0. Its output goes to `output` when given.
bool Run(const std::string& command, std::string* output = nullptr);

enum class Source {
  kMjpegAvi,   // Motion JPEG and 16-bit PCM in AVI
  kSorensonMov, // Sorenson Video 1 and big-endian PCM in a QuickTime movie (index at the end)
  kMpeg4Mp4,   // MPEG-4 part 2 and AAC in MP4 (index first)
  kSilentAvi,  // Motion JPEG only
  kSoundWav,   // PCM only
};

// Writes a test movie of `seconds` at `width` x `height` (15 frames a second, a 440 Hz tone
// at 44,100 Hz stereo) to `path`.
bool MakeSource(Source kind, const std::string& path, double seconds = 2.0, int width = 320, int height = 240);

// One stream as ffprobe describes it: codec_name, codec_tag_string, width, height,
// sample_rate, channels, nb_frames ...
using Fields = std::map<std::string, std::string>;
struct Probe {
  bool ok = false;
  Fields format;  // format_name, duration, TAG:major_brand ...
  std::vector<Fields> streams;
  const Fields* Stream(const std::string& codecType) const;
};
Probe ProbeMovie(const std::string& path);

// The top-level atoms of a QuickTime file, in order.
std::vector<std::string> TopLevelAtoms(const std::string& path);

}  // namespace conv_test
