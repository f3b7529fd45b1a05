// Row-coded frames: QuickTime Animation, uncompressed bitmap rows and QuickTime "raw ".
#include "player/media/decoders/video_decoders.h"
#include "player/media/fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  crv::fuzz::Input in;
  if (!crv::fuzz::Split(data, size, &in)) return 0;
  crv::fuzz::Output out(in);
  static uint32_t pal[256];
  static uint16_t pal565[256];
  const crv::Palettes palettes{pal, pal565};
  const int depths[4] = {8, 16, 24, 32};
  switch (in.choice % 4) {
    case 0:
    case 1:  // twice: a second frame over the first, as playback does
      crv::DecodeQtRle24(crv::fuzz::FrameData(in), in.frame.size(), out.target);
      crv::DecodeQtRle24(crv::fuzz::FrameData(in), in.frame.size(), out.target);
      break;
    case 2:
      crv::DecodeDibFrame(crv::fuzz::FrameData(in), in.frame.size(), depths[(in.choice >> 2) % 4], palettes,
                          (in.choice >> 4) & 1, out.target);
      break;
    default:
      crv::DecodeRawFrame(crv::fuzz::FrameData(in), in.frame.size(), depths[(in.choice >> 2) % 4], palettes,
                          out.target);
      break;
  }
  return 0;
}
