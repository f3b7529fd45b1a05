// The PhotoCD source: the 384 x 256 and 768 x 512 base pictures, converted from luma and chroma lines.
#pragma once
#include "player/media/img_fmt_base.h"

namespace crv {

class ImgFmtPCD : public ImgFmtBase {
 public:
  int32_t Load(RFileHandle file, uint32_t loadFlags) override;
};

}  // namespace crv
