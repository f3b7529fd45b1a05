#include "player/pictures/formats/picture_sources.h"

#include <new>
#include "player/media/format_tables.h"
#include "player/pictures/formats/bmp_source.h"
#include "player/pictures/formats/gif_source.h"
#include "player/pictures/formats/jpeg_source.h"
#include "player/pictures/formats/pcx_source.h"
#include "player/pictures/formats/photocd_source.h"
#include "player/pictures/formats/pnm_source.h"
#include "player/pictures/formats/tiff_source.h"

namespace crv {

namespace {

template <class S>
ImgFmtBase* Make() {
  return new (std::nothrow) S;
}

}  // namespace

void RegisterPictureSources() {
  RegisterSource(FormatTable::Image, kImageBmp, &Make<ImgFmtBMP>);
  RegisterSource(FormatTable::Image, kImageJpeg, &Make<ImgFmtJPG>);
  RegisterSource(FormatTable::Image, kImageGif, &Make<ImgFmtGIF>);
  RegisterSource(FormatTable::Image, kImageTiff, &Make<ImgFmtTIFF>);
  RegisterSource(FormatTable::Image, kImagePcx, &Make<ImgFmtPCX>);
  RegisterSource(FormatTable::Image, kImagePhotoCd, &Make<ImgFmtPCD>);
  RegisterSource(FormatTable::Image, kImagePnm, &Make<ImgFmtPNM>);
}

}  // namespace crv
