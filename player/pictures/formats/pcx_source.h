// The PCX source: 1, 4, 8 and 24 bits, run-length coded lines, header and trailing palettes.
#pragma once
#include "player/media/img_fmt_base.h"

namespace crv {

class ImgFmtPCX : public ImgFmtBase {
 public:
  int32_t Load(RFileHandle file, uint32_t loadFlags) override;
};

}  // namespace crv
