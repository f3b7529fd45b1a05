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
  // A bitmap fitted as the load flags ask, fed by the library's scaled-down decoding; false
  // (the scale left at 1) when the picture is not reduced or that bitmap cannot be made.
  bool CreateScaledBitmap(jpeg_decompress_struct& cinfo, uint32_t bits);
};

}  // namespace crv
