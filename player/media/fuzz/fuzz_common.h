// Shared by the codec fuzz targets: the first bytes of an input choose the picture size and
// the output form; the rest is the frame, copied to a block of exactly its size and decoded
// into an output of exactly the picture's size, so the sanitizers see any stray access.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
#include "player/media/decoders/pixel_target.h"

namespace crv::fuzz {

struct Input {
  int width = 0, height = 0;
  uint8_t choice = 0;
  PixelForm form = PixelForm::kRgb565;
  std::vector<uint8_t> frame;
};

// Needs 4 bytes: width 1..64, height 1..64, a choice byte, the output form.
inline bool Split(const uint8_t* data, size_t size, Input* in) {
  if (size < 4) return false;
  in->width = 1 + data[0] % 64;
  in->height = 1 + data[1] % 64;
  in->choice = data[2];
  in->form = data[3] & 1 ? PixelForm::kBgr24 : PixelForm::kRgb565;
  in->frame.assign(data + 4, data + size);
  return true;
}

struct Output {
  std::vector<uint8_t> bytes;
  PixelTarget target;
  explicit Output(const Input& in) {
    bytes.resize(static_cast<size_t>(in.width) * in.height * PixelBytes(in.form));
    MakePixelTarget(bytes.data(), bytes.size(), 0, in.width, in.height, in.form, &target);
  }
};

inline const uint8_t* FrameData(const Input& in) { return in.frame.empty() ? nullptr : in.frame.data(); }

}  // namespace crv::fuzz
