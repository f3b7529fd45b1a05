// The GIF source: LZW images with interlacing, transparency and local colour tables; the last image of the file is the picture shown.
#pragma once
#include "player/media/img_fmt_base.h"

namespace crv {

class ImgFmtGIF : public ImgFmtBase {
 public:
  int32_t Load(RFileHandle file, uint32_t loadFlags) override;

 private:
  int32_t transparent_ = -1;  // the transparent colour index, -1 = none
};

}  // namespace crv
