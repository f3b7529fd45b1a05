// The TIFF source (".tif", ".tiff", ".cfx"): libtiff's strips converted into bitmap rows;
// bilevel and fax pictures, grey, palette, RGB and separated images, several pages.
#pragma once
#include "player/media/img_fmt_base.h"

typedef struct tiff TIFF;  // tiffio.h stays in the source file

namespace crv {

class ImgFmtTIFF : public ImgFmtBase {
 public:
  ImgFmtTIFF() = default;
  ~ImgFmtTIFF() override;

  int32_t Load(RFileHandle file, uint32_t loadFlags) override;
  // Closes the TIFF handle, then releases what the base holds.
  void Free() override;

  // The record's page loader: decodes page `page` of the file into the caller's record.
  static int32_t LoadPage(RFileHandle file, tagRDIBIMG* record, int32_t page);

 private:
  bool Open(RFileHandle file);
  int32_t PageCount();
  int32_t DecodePage();

  int32_t currentPage_ = 0;
  int32_t pageCount_ = 0;   // 0 until counted
  int32_t ownsHandle_ = 0;  // the TIFF handle is ours to close
  TIFF* tiff_ = nullptr;
};

}  // namespace crv
