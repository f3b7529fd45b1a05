// Cinepak: the frame twice over one context (codebooks and picture carry over), then the
// picture into the output.
#include "player/media/decoders/video_decoders.h"
#include "player/media/fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  crv::fuzz::Input in;
  if (!crv::fuzz::Split(data, size, &in)) return 0;
  crv::fuzz::Output out(in);
  crv::CinepakDecoder cinepak;
  if (!cinepak.Init(in.width, in.height)) __builtin_trap();
  for (int pass = 0; pass < 2; ++pass) {
    if (cinepak.Decode(crv::fuzz::FrameData(in), in.frame.size(), in.form == crv::PixelForm::kBgr24))
      cinepak.Put(out.target);
  }
  if (cinepak.StripsInUse() > crv::CinepakDecoder::kMaxStrips) __builtin_trap();
  return 0;
}
