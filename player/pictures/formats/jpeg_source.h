// The JPEG source (".jpg", ".jpe", ".jpeg"): baseline and progressive pictures through
// libjpeg's jpeg62 interface; colour, grey (8 bits with a grey ramp) and CMYK.
#pragma once
#include "player/media/img_fmt_base.h"

struct jpeg_decompress_struct;  // jpeglib.h stays out of the header: its `boolean` clashes with windows.h

namespace crv {

class ImgFmtJPG : public ImgFmtBase {
 public:
  int32_t Load(RFileHandle file, uint32_t loadFlags) override;

 private:
  int32_t Decode(jpeg_decompress_struct& cinfo);
};

}  // namespace crv
