// Motion JPEG frames ("MJPG", "JPEG"): one JPEG picture per frame. The JPEG library decodes
// straight into the target (5-6-5 or blue-green-red rows, no copy in between); what it does
// not take - a field pair of an interlaced movie, a progressive or CMYK picture, a frame it
// cannot read - goes to libavcodec's "mjpeg" decoder, converted through libswscale.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include "player/media/decoders/pixel_target.h"

namespace crv {

class MjpegDecoder {
 public:
  MjpegDecoder();
  ~MjpegDecoder();
  MjpegDecoder(const MjpegDecoder&) = delete;
  MjpegDecoder& operator=(const MjpegDecoder&) = delete;

  // Opens the decoder; false when libavcodec has no "mjpeg" decoder or cannot open it.
  bool Open();
  void Close();
  bool IsOpen() const;
  // False when the picture does not decode or its size is not the target's.
  bool Decode(const uint8_t* data, size_t size, const PixelTarget& target);

  // Which decoder painted the last picture (for the tests: both ways must stay sound).
  enum class Path { kNone, kJpegLibrary, kLibavcodec };
  Path LastPath() const { return last_path_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  Path last_path_ = Path::kNone;
};

}  // namespace crv
