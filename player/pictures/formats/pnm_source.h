// The PNM source (".pgm", ".ppm", ".raw"): binary grey (P5) and colour (P6) maps.
#pragma once
#include "player/media/img_fmt_base.h"

namespace crv {

class ImgFmtPNM : public ImgFmtBase {
 public:
  int32_t Load(RFileHandle file, uint32_t loadFlags) override;
};

}  // namespace crv
