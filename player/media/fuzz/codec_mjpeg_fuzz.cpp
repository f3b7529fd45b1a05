// Motion JPEG frames through both of the decoder's ways (the JPEG library with the one-pass
// 5-6-5 conversion, and libavcodec for what the library does not take), into an output of
// exactly the picture's size. The seeds are small JPEG pictures in every sampling, grey and
// progressive ones among them, whose first four bytes give their size.
#include "player/media/decoders/mjpeg.h"
#include "player/media/fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  crv::fuzz::Input in;
  if (!crv::fuzz::Split(data, size, &in)) return 0;
  static crv::MjpegDecoder decoder;
  static const bool open = decoder.Open();
  if (!open) return 0;
  crv::fuzz::Output out(in);
  decoder.Decode(crv::fuzz::FrameData(in), in.frame.size(), out.target);
  return 0;
}
