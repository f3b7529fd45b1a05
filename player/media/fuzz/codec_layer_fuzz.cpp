// The whole codec layer: a code chosen from the ones it knows (Motion JPEG included), a
// stored depth, set-up, two frames, teardown.
#include "player/media/codec_layer.h"
#include "player/media/fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  crv::fuzz::Input in;
  if (!crv::fuzz::Split(data, size, &in)) return 0;
  static const char* const kCodes[] = {"\0\0\0\0", "RAW ", "rle ", "rpza", "cvid", "CRAM", "msvc", "WHAM",
                                       "MJPG", "jpeg", "SVQ1", "XVID"};
  static const int kDepths[] = {8, 16, 24, 32};
  static uint32_t pal[256];
  crv::CodecLayer& layer = crv::ProcessCodecLayer();
  int w = in.width, h = in.height;
  if (in.choice & 0x80) h = -h;  // top-down bitmaps
  const char* code = kCodes[(in.choice & 0x0F) % 12];
  if (layer.Setup(code, &w, &h, kDepths[(in.choice >> 4) & 3], pal, nullptr) == 1) {
    const bool bgr24 = in.form == crv::PixelForm::kBgr24;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * (bgr24 ? 3 : 2));
    for (int pass = 0; pass < 2; ++pass)
      layer.Decode(crv::fuzz::FrameData(in), in.frame.size(), out.data(), bgr24);
  }
  layer.Teardown();
  return 0;
}
