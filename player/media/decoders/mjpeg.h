// Motion JPEG frames ("MJPG", "JPEG") through libavcodec's "mjpeg" decoder: one JPEG picture
// per frame, converted to blue-green-red.
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

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace crv
