// The BMP source: Windows and OS/2 bitmaps, with or without the file header (also read for
// ".2bp" and ".img" files): 1, 2, 4, 8, 16, 24 and 32 bits, uncompressed, RLE8 and RLE4.
#pragma once
#include "player/media/img_fmt_base.h"

namespace crv {

class PictureReader;

class ImgFmtBMP : public ImgFmtBase {
 public:
  int32_t Load(RFileHandle file, uint32_t loadFlags) override;

 private:
  int32_t DecodeRows(PictureReader& in, int32_t height, bool topDown, uint32_t bits);
  int32_t DecodeRle(PictureReader& in, int32_t height, bool topDown, bool nibbles);
};

}  // namespace crv
