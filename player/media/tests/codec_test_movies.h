// Test movies for the codec tests and the benchmark: written by the ffmpeg tool at run time,
// their packets read back with libavformat, and libavcodec's decoding of the same packets
// turned into the layouts the codec layer writes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace crv::test {

struct Movie {
  char code[4] = {0, 0, 0, 0};  // the container's code characters, as the sources pass them
  int width = 0, height = 0, depth = 0;
  // Uncompressed AVI rows stored top-down: the file's bitmap header gave a negative height,
  // which is what the source hands to the codec layer.
  bool top_down = false;
  int SetupHeight() const { return top_down ? -height : height; }
  AVCodecID codec = AV_CODEC_ID_NONE;
  std::vector<uint8_t> extradata;
  std::vector<uint32_t> palette;  // 256 x 0x00RRGGBB when the stream has one
  std::vector<std::vector<uint8_t>> packets;
};

// A folder of its own for this process's movies.
std::string MovieDir();
// Runs `ffmpeg -v error -y <args> <dir>/<name>`; the path, or "" when ffmpeg failed.
std::string WriteMovie(const std::string& name, const std::string& args);
// The first video stream's packets; false when the file does not open.
bool ReadMovie(const std::string& path, Movie* movie);

// How libavcodec's pixels become the codec layer's: 8-bit pictures through the 24-bit palette
// or (as Microsoft Video 1 does) through its 5-6-5 form.
struct ReferenceFrames {
  std::vector<std::vector<uint8_t>> rgb565;  // top-down, packed
  std::vector<std::vector<uint8_t>> bgr24;   // bottom-up, packed
};
// Decodes every packet with libavcodec (bits per coded sample = movie.depth, the palette as
// packet side data); false when a packet fails.
bool DecodeReference(const Movie& movie, bool palette_via_565, ReferenceFrames* out);
// ReadMovie, then DecodeReference of what it read.
bool ReadAndDecode(const std::string& path, bool palette_via_565, Movie* movie, ReferenceFrames* out);

// Bytes of a 5-6-5 / 24-bit frame that differ; for reporting.
size_t CountDifferences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// How far one frame is from another, channel by channel in 8-bit levels (5-6-5 words
// expanded first): the mean and the largest difference. Frames of different sizes are 255 apart.
struct Distance {
  double mean = 0;
  int max = 0;
};
Distance FrameDistance(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, bool bgr24);

// What libavformat and libavcodec make of a movie: the first video stream's code, size, time
// base and packets (file position, size, times, the palette side data), and the first sound
// stream's rate and its first channel decoded.
struct StreamReference {
  uint32_t tag = 0;
  int width = 0, height = 0;
  AVRational time_base{0, 1};
  std::vector<int64_t> pos, dts, duration;
  std::vector<int64_t> video_ms;  // presentation times in milliseconds
  std::vector<int> size;
  std::vector<uint32_t> palette;
  bool has_audio = false;
  int rate = 0;
  std::vector<int16_t> audio;  // first channel
};
bool ReadStreamReference(const std::string& path, StreamReference* ref);

// Appends channel 0 of a decoded sound frame (16-bit or 8-bit offset binary, packed or
// planar) as 16-bit samples; false for another sample format.
inline bool AppendFirstChannel(const AVFrame* f, std::vector<int16_t>* out) {
  const int channels = f->ch_layout.nb_channels;
  for (int i = 0; i < f->nb_samples; ++i) {
    switch (f->format) {
      case AV_SAMPLE_FMT_S16: out->push_back(reinterpret_cast<const int16_t*>(f->data[0])[i * channels]); break;
      case AV_SAMPLE_FMT_S16P: out->push_back(reinterpret_cast<const int16_t*>(f->data[0])[i]); break;
      case AV_SAMPLE_FMT_U8: out->push_back(static_cast<int16_t>((f->data[0][i * channels] - 128) * 256)); break;
      case AV_SAMPLE_FMT_U8P: out->push_back(static_cast<int16_t>((f->data[0][i] - 128) * 256)); break;
      default: return false;
    }
  }
  return true;
}

}  // namespace crv::test
