// The JPEG source (".jpg", ".jpe", ".jpeg"): baseline and progressive pictures through
// libjpeg's jpeg62 interface; colour, grey (8 bits with a grey ramp) and CMYK.
#pragma once
#include <cstddef>
#include "player/media/img_fmt_base.h"

struct jpeg_decompress_struct;  // jpeglib.h stays out of the header: its `boolean` clashes with windows.h

namespace crv {

class ImgFmtJPG : public ImgFmtBase {
 public:
  int32_t Load(RFileHandle file, uint32_t loadFlags) override;

 private:
  int32_t Decode(jpeg_decompress_struct& cinfo);
  // The bitmap as the load flags ask; a reduced one is fed by the library's scaled-down
  // decoding. False when no bitmap can be made.
  bool CreateFittedBitmap(jpeg_decompress_struct& cinfo, uint32_t bits);
  // A bitmap of `box` fed by the decoding at the smallest eighth that covers it; false (the
  // scale back at 1) when none covers it or that bitmap cannot be made.
  bool CreateScaledBitmap(jpeg_decompress_struct& cinfo, uint32_t bits, FitBox box);
  // Gives every row the decoding stopped short of (from the library's output_scanline on)
  // the pixels of the last decoded row, bitmap row `lastY`. False when the load is aborted.
  bool RepeatLastRow(jpeg_decompress_struct& cinfo, int32_t lastY, size_t rowBytes);
};

}  // namespace crv
