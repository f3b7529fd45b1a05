// Block-coded frames: Apple Video and Microsoft Video 1 (8-bit and 16-bit).
#include "player/media/decoders/video_decoders.h"
#include "player/media/fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  crv::fuzz::Input in;
  if (!crv::fuzz::Split(data, size, &in)) return 0;
  crv::fuzz::Output out(in);
  static uint16_t pal565[256];
  for (int pass = 0; pass < 2; ++pass) {
    switch (in.choice % 3) {
      case 0: crv::DecodeRpza(crv::fuzz::FrameData(in), in.frame.size(), out.target); break;
      case 1: crv::DecodeMsVideo1(crv::fuzz::FrameData(in), in.frame.size(), 8, pal565, out.target); break;
      default: crv::DecodeMsVideo1(crv::fuzz::FrameData(in), in.frame.size(), 16, pal565, out.target); break;
    }
  }
  return 0;
}
