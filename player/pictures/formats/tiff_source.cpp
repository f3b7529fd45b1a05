#include "player/pictures/formats/tiff_source.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <tiffio.h>

#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/media/stream_file.h"
#include "player/pictures/formats/picture_reader.h"

namespace crv {

namespace {

// No single block libtiff allocates for a hostile file may exceed this.
constexpr tmsize_t kMaxLibraryBlock = 256 << 20;
constexpr uint64_t kMaxStripBytes = 256u << 20;

// libtiff reads through the platform file calls of the open handle; it never writes.
tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
  uint32_t got = 0;
  if (size < 0 || size > 0x7FFFFFFF) return -1;
  if (!StreamFileRead(handle, buffer, static_cast<uint32_t>(size), &got)) return -1;
  return static_cast<tmsize_t>(got);
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }
toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  const int64_t at = StreamFileSeek(handle, static_cast<int64_t>(offset), whence);
  return at < 0 ? static_cast<toff_t>(-1) : static_cast<toff_t>(at);
}
int CloseProc(thandle_t) { return 0; }  // the caller closes its own file
toff_t SizeProc(thandle_t handle) {
  const int64_t size = StreamFileSize(handle);
  return size < 0 ? 0 : static_cast<toff_t>(size);
}
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// Errors come back as failed calls; the messages go nowhere.
int Silent(TIFF*, void*, const char*, const char*, va_list) { return 1; }

enum class Layout { kPacked, kGrey16, kRgb, kSeparated };

struct Page {
  uint32_t width = 0, height = 0, rowsPerStrip = 0;
  uint16_t samples = 1, bits = 1, photometric = 1, compression = 1, planar = 1;
  float xResolution = 0, yResolution = 0;
  Layout layout = Layout::kPacked;
  bool invert = false;  // white is zero
  uint32_t outBits = 0;
};

// A 16-bit sample to the nearest 8-bit level.
uint32_t To8(uint16_t v) { return (v + 128u) / 257u; }

// The light an ink lets through under a black of `white` = 255 - black, rounded.
uint8_t Light(uint8_t ink, uint32_t white) { return static_cast<uint8_t>(((255u - ink) * white * 2 + 255u) / 510u); }

// One file row into one bitmap row.
void ConvertRow(const Page& p, const uint8_t* in, uint8_t* out) {
  switch (p.layout) {
    case Layout::kPacked: {
      const size_t bytes = (static_cast<size_t>(p.width) * p.bits + 7) / 8;
      if (p.invert)
        for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(~in[i]);
      else
        std::memcpy(out, in, bytes);
      break;
    }
    case Layout::kGrey16: {
      const auto* s = reinterpret_cast<const uint16_t*>(in);
      for (uint32_t x = 0; x < p.width; ++x, s += p.samples) {
        const auto v = static_cast<uint8_t>(To8(*s));
        out[x] = p.invert ? static_cast<uint8_t>(255 - v) : v;
      }
      break;
    }
    case Layout::kRgb:
      for (uint32_t x = 0; x < p.width; ++x, out += 3) {
        uint32_t c[3];
        for (int k = 0; k < 3; ++k)
          c[k] = p.bits == 16 ? To8(reinterpret_cast<const uint16_t*>(in)[size_t{x} * p.samples + k])
                              : in[size_t{x} * p.samples + k];
        out[0] = static_cast<uint8_t>(c[2]);
        out[1] = static_cast<uint8_t>(c[1]);
        out[2] = static_cast<uint8_t>(c[0]);
      }
      break;
    case Layout::kSeparated:
      // Ink to light: (255 - ink) x (255 - black) / 255, to the nearest level; a file with
      // three inks has no black.
      for (uint32_t x = 0; x < p.width; ++x, out += 3) {
        const uint8_t* s = in + size_t{x} * p.samples;
        const uint32_t white = 255u - (p.samples >= 4 ? s[3] : 0u);
        out[0] = Light(s[2], white);
        out[1] = Light(s[1], white);
        out[2] = Light(s[0], white);
      }
      break;
  }
}

// Chooses the conversion and the bitmap depth; 0 when the page can be decoded.
int32_t ChooseLayout(Page& p) {
  switch (p.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      p.invert = p.photometric == PHOTOMETRIC_MINISWHITE;
      if (p.bits == 16) {
        p.layout = Layout::kGrey16;
        p.outBits = 8;
      } else if (p.samples == 1 && (p.bits == 1 || p.bits == 2 || p.bits == 4 || p.bits == 8)) {
        p.outBits = p.bits;
      } else {
        return kResultVersion;
      }
      return kResultOk;
    case PHOTOMETRIC_PALETTE:
      if (p.samples != 1 || !(p.bits == 1 || p.bits == 2 || p.bits == 4 || p.bits == 8)) return kResultVersion;
      p.outBits = p.bits;
      return kResultOk;
    case PHOTOMETRIC_RGB:
      if (p.samples < 3 || (p.bits != 8 && p.bits != 16)) return kResultVersion;
      p.layout = Layout::kRgb;
      p.outBits = 24;
      return kResultOk;
    case PHOTOMETRIC_SEPARATED:
      if (p.samples < 3 || p.bits != 8) return kResultVersion;
      p.layout = Layout::kSeparated;
      p.outBits = 24;
      return kResultOk;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
      return kResultCmykLab;
    default:  // mask, LogL, LogLuv, YCbCr and the rest
      return kResultCompression;
  }
}

// The colour table of a grey or palette page.
bool BuildPalette(TIFF* tiff, const Page& p, RRgbQuad* palette) {
  const uint32_t entries = 1u << p.outBits;
  if (p.photometric != PHOTOMETRIC_PALETTE) {
    const uint32_t step = 255 / (entries - 1);
    for (uint32_t i = 0; i < entries; ++i) {
      const auto g = static_cast<uint8_t>(i * step);
      palette[i] = RRgbQuad{g, g, g, 0};
    }
    return true;
  }
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue) return false;
  bool eightBit = true;
  for (uint32_t i = 0; i < entries; ++i) eightBit = eightBit && red[i] < 256 && green[i] < 256 && blue[i] < 256;
  auto level = [eightBit](uint16_t v) {
    return static_cast<uint8_t>(eightBit ? v : static_cast<uint32_t>(v) * 255 / 65535);
  };
  for (uint32_t i = 0; i < entries; ++i) palette[i] = RRgbQuad{level(blue[i]), level(green[i]), level(red[i]), 0};
  return true;
}

}  // namespace

ImgFmtTIFF::~ImgFmtTIFF() { Free(); }

void ImgFmtTIFF::Free() {
  if (tiff_ && ownsHandle_) TIFFClose(tiff_);
  tiff_ = nullptr;
  ownsHandle_ = 0;
  pageCount_ = 0;
  ImgFmtBase::Free();
}

bool ImgFmtTIFF::Open(RFileHandle file) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return false;
  TIFFOpenOptionsSetErrorHandlerExtR(options, Silent, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, Silent, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibraryBlock);
  tiff_ = TIFFClientOpenExt("picture", "r", static_cast<thandle_t>(file), ReadProc, WriteProc, SeekProc, CloseProc,
                            SizeProc, MapProc, UnmapProc, options);
  TIFFOpenOptionsFree(options);
  ownsHandle_ = tiff_ ? 1 : 0;
  currentPage_ = 0;
  return tiff_ != nullptr;
}

int32_t ImgFmtTIFF::PageCount() {
  if (pageCount_ == 0 && tiff_) pageCount_ = static_cast<int32_t>(std::min<tdir_t>(TIFFNumberOfDirectories(tiff_), 65535));
  return pageCount_;
}

int32_t ImgFmtTIFF::DecodePage() {
  Page p;
  if (!TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &p.width) || !TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &p.height))
    return kResultBadData;
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLESPERPIXEL, &p.samples);
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_BITSPERSAMPLE, &p.bits);
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_ROWSPERSTRIP, &p.rowsPerStrip);
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_COMPRESSION, &p.compression);
  TIFFGetFieldDefaulted(tiff_, TIFFTAG_PLANARCONFIG, &p.planar);
  if (!TIFFGetField(tiff_, TIFFTAG_PHOTOMETRIC, &p.photometric))
    p.photometric = p.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  TIFFGetField(tiff_, TIFFTAG_XRESOLUTION, &p.xResolution);
  TIFFGetField(tiff_, TIFFTAG_YRESOLUTION, &p.yResolution);

  if (p.compression == COMPRESSION_LZW) return kResultLzwRefused;
  if (!TIFFIsCODECConfigured(p.compression)) return kResultCompression;
  if (p.width < 1 || p.height < 1 || p.width > uint32_t{kMaxPictureSide} || p.height > uint32_t{kMaxPictureSide})
    return kResultBadData;
  if (p.samples < 1) return kResultBadData;
  // Oblong fax pixels: each row is repeated; a hostile factor is bounded by the largest side.
  int32_t repeat = 1;
  if (p.xResolution > 0 && p.yResolution > 0 && p.xResolution > p.yResolution) {
    const double factor = static_cast<double>(p.xResolution) / p.yResolution;
    repeat = static_cast<int32_t>(std::min<double>(factor, kMaxPictureSide / static_cast<double>(p.height)));
    repeat = std::max(repeat, 1);
  }
  if (const int32_t chosen = ChooseLayout(p)) return chosen;
  // Tiles and separate planes are layouts the strip conversion does not read.
  if (TIFFIsTiled(tiff_) || (p.planar != PLANARCONFIG_CONTIG && p.samples > 1)) return kResultCompression;

  RRgbQuad palette[256];
  if (p.outBits <= 8 && !BuildPalette(tiff_, p, palette)) return kResultBadData;
  const auto width = static_cast<int32_t>(p.width);
  const auto height = static_cast<int32_t>(p.height) * repeat;
  if (!CreateBitmap(width, height, p.outBits, p.outBits <= 8 ? palette : nullptr, p.outBits <= 8 ? 1u << p.outBits : 0))
    return uint32_t{p.bits} * p.samples < 25 ? kResultNoMemory : kResultVersion;
  if (p.xResolution > p.yResolution && p.yResolution > 0) {
    // The file's values as they are (dots per unit), cut to what the fields hold.
    record_.info->xPelsPerMeter = static_cast<int32_t>(std::min(p.xResolution, 2147483520.0f));
    record_.info->yPelsPerMeter = static_cast<int32_t>(std::min(p.yResolution, 2147483520.0f));
  }

  const uint32_t rowsPerStrip = std::clamp<uint32_t>(p.rowsPerStrip, 1, p.height);
  const uint64_t lineBytes = static_cast<uint64_t>(TIFFScanlineSize64(tiff_));
  const uint64_t needed = (static_cast<uint64_t>(p.width) * p.samples * p.bits + 7) / 8;
  if (lineBytes < needed) return kResultBadData;
  const uint64_t stripBytes = lineBytes * rowsPerStrip;
  if (stripBytes > kMaxStripBytes) return kResultNoMemory;
  HookBuffer strip(static_cast<size_t>(stripBytes));
  if (!strip) return kResultNoMemory;

  const uint64_t dibRow = DibRowBytes(p.outBits, p.width);
  const uint32_t strips = TIFFNumberOfStrips(tiff_);
  for (uint32_t s = 0; s < strips; ++s) {
    const uint64_t first = uint64_t{s} * rowsPerStrip;
    if (first >= p.height) break;
    if (LoadAborted()) return kResultAborted;
    const auto rows = static_cast<uint32_t>(std::min<uint64_t>(rowsPerStrip, p.height - first));
    std::memset(strip.data(), 0, static_cast<size_t>(stripBytes));
    if (TIFFReadEncodedStrip(tiff_, s, strip.data(), static_cast<tmsize_t>(lineBytes * rows)) < 0)
      return LoadAborted() ? kResultAborted : kResultBadData;
    for (uint32_t r = 0; r < rows; ++r) {
      if (LoadAborted()) return kResultAborted;
      // The file's first row is the top row; its copies follow it downwards.
      const uint64_t top = static_cast<uint64_t>(height) - 1 - (first + r) * repeat;
      uint8_t* row = record_.pixels + top * dibRow;
      ConvertRow(p, strip.data() + r * lineBytes, row);
      for (int32_t k = 1; k < repeat; ++k) std::memcpy(row - k * dibRow, row, static_cast<size_t>(dibRow));
    }
  }
  ReduceAfterLoad();
  return kResultOk;
}

int32_t ImgFmtTIFF::Load(RFileHandle file, uint32_t) {
  if (!Open(file)) return kResultBadData;
  const int32_t result = DecodePage();
  if (result != kResultOk) {
    TIFFClose(tiff_);
    tiff_ = nullptr;
    ownsHandle_ = 0;
    return result;
  }
  const int32_t pages = PageCount();
  if (pages >= 2) record_.pageLoader = &ImgFmtTIFF::LoadPage;
  record_.frameCount = std::max(pages, 1);
  return kResultOk;
}

int32_t ImgFmtTIFF::LoadPage(RFileHandle file, tagRDIBIMG* record, int32_t page) {
  if (!record) return kResultInternal;
  ImgFmtTIFF temporary;
  if (!temporary.Open(file)) return kResultBadData;
  if (page < 0 || page >= temporary.PageCount()) return kResultOutOfRange;
  if (!TIFFSetDirectory(temporary.tiff_, 0)) return kResultBadData;
  for (int32_t i = 0; i < page; ++i)
    if (!TIFFReadDirectory(temporary.tiff_)) return kResultBadData;
  temporary.currentPage_ = page;
  const int32_t result = temporary.DecodePage();
  if (result != kResultOk) return result;

  // The new bitmap replaces the caller's; pages, page loader and path stay.
  HookFree(record->info);
  if (record->bitmap) HookDeleteObject(record->bitmap);
  tagRDIBIMG& made = temporary.record_;
  record->info = made.info;
  record->bitmap = made.bitmap;
  record->pixels = made.pixels;
  made.info = nullptr;
  made.bitmap = nullptr;
  made.pixels = nullptr;
  return kResultOk;
}

}  // namespace crv
