#include "player/pictures/formats/jpeg_source.h"

// jpeglib.h wants size_t and FILE declared first.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <jerror.h>
#include <jpeglib.h>

#include "player/media/source_state.h"
#include "player/media/stream_file.h"
#include "player/pictures/formats/picture_reader.h"

// Rows in blue, green, red order come from the library's extended colour spaces.
#ifndef JCS_EXTENSIONS
#error "the JPEG library must offer JCS_EXT_BGR (libjpeg-turbo's jpeg62 interface)"
#endif

namespace crv {

namespace {

constexpr uint32_t kInputBlockBytes = 4096;

// The error manager: a fatal error jumps back into Load instead of ending the process.
struct ErrorTrap {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorTrap*>(cinfo->err)->jump, 1); }
void NoOutput(j_common_ptr) {}

// The source manager: the file handle in 4096-byte blocks.
struct FileSource {
  jpeg_source_mgr pub;
  RFileHandle file;
  bool ended;  // the end-of-image marker was supplied for a file that ended early
  JOCTET buffer[kInputBlockBytes];
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<FileSource*>(cinfo->src);
  uint32_t got = 0;
  if (!StreamFileRead(src->file, src->buffer, kInputBlockBytes, &got)) got = 0;
  if (got == 0) {
    // A file that ends early gets an end-of-image marker, as the library's file source does.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->ended = true;
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    got = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = got;
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  while (count > static_cast<long>(src->bytes_in_buffer)) {
    count -= static_cast<long>(src->bytes_in_buffer);
    FillInput(cinfo);
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<size_t>(count);
}

void AttachSource(jpeg_decompress_struct& cinfo, FileSource& source, RFileHandle file) {
  source.file = file;
  source.ended = false;
  source.pub.init_source = InitSource;
  source.pub.fill_input_buffer = FillInput;
  source.pub.skip_input_data = SkipInput;
  source.pub.resync_to_restart = jpeg_resync_to_restart;
  source.pub.term_source = TermSource;
  source.pub.bytes_in_buffer = 0;
  source.pub.next_input_byte = nullptr;
  cinfo.src = &source.pub;
}

// C, M, Y, K as stored: each channel plus K plus one, modulo 256.
void CmykToBgr(const JSAMPLE* in, uint8_t* out, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, in += 4, out += 3) {
    const unsigned k = in[3] + 1u;
    out[0] = static_cast<uint8_t>(in[2] + k);
    out[1] = static_cast<uint8_t>(in[1] + k);
    out[2] = static_cast<uint8_t>(in[0] + k);
  }
}

// Output rows of one iMCU row, the unit in which the library decodes a scan.
JDIMENSION ImcuRowHeight(const jpeg_decompress_struct& cinfo) {
#if JPEG_LIB_VERSION >= 70
  const int blockRows = cinfo.min_DCT_v_scaled_size;
#else
  const int blockRows = cinfo.min_DCT_scaled_size;
#endif
  return static_cast<JDIMENSION>(cinfo.max_v_samp_factor * blockRows);
}

// Everything the jump back may leave behind lives here, not in Load's locals.
struct Decompression {
  jpeg_decompress_struct cinfo;
  ErrorTrap trap;
  FileSource source;
};

}  // namespace

bool ImgFmtJPG::CreateScaledBitmap(jpeg_decompress_struct& cinfo, uint32_t bits, FitBox box) {
  // The library scales by M/8 inside the inverse DCT, far cheaper than decoding every pixel
  // and dropping most of them; the smallest M whose picture still covers the box.
  for (unsigned num = 1; num < 8; ++num) {
    cinfo.scale_num = num;
    cinfo.scale_denom = 8;
    jpeg_calc_output_dimensions(&cinfo);
    const auto w = static_cast<int32_t>(cinfo.output_width), h = static_cast<int32_t>(cinfo.output_height);
    if (w < box.width || h < box.height) continue;
    if (CreateBitmapInBox(w, h, bits, box)) return true;
    break;
  }
  cinfo.scale_num = cinfo.scale_denom = 1;
  return false;
}

bool ImgFmtJPG::CreateFittedBitmap(jpeg_decompress_struct& cinfo, uint32_t bits) {
  const auto width = static_cast<int32_t>(cinfo.image_width);
  const auto height = static_cast<int32_t>(cinfo.image_height);
  const FitBox first = FirstFitBox(width, height, bits);
  if (first.width < width && CreateScaledBitmap(cinfo, bits, first)) return true;
  if (!CreateBitmap(width, height, bits, nullptr, 0, true)) return false;
  if (!IsReduced()) return true;
  // The full size could not be had and the base fell back to a box: decode at its scale.
  const FitBox box{record_.info->width, record_.info->height};
  return CreateScaledBitmap(cinfo, bits, box) || CreateBitmap(width, height, bits, nullptr, 0, true);
}

bool ImgFmtJPG::RepeatLastRow(jpeg_decompress_struct& cinfo, int32_t lastY, size_t rowBytes) {
  const uint8_t* last = RowBuffer(lastY);
  if (!last) return true;
  // A reduced bitmap's row buffer is shared by every row: the copy keeps the last row intact.
  auto* filler = static_cast<uint8_t*>(
      (*cinfo.mem->alloc_large)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, rowBytes));
  std::memcpy(filler, last, rowBytes);
  for (JDIMENSION line = cinfo.output_scanline; line < cinfo.output_height; ++line) {
    if (LoadAborted()) return false;
    PutRow(static_cast<int32_t>(cinfo.output_height - 1 - line), filler);
  }
  return true;
}

int32_t ImgFmtJPG::Decode(jpeg_decompress_struct& cinfo) {
  jpeg_read_header(&cinfo, TRUE);
  const bool cmyk = cinfo.num_components == 4 || cinfo.jpeg_color_space == JCS_CMYK ||
                    cinfo.jpeg_color_space == JCS_YCCK;
  const bool grey = !cmyk && cinfo.num_components == 1;
  // The bitmap's rows are blue, green, red: the library delivers them in that order.
  cinfo.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  const uint32_t bits = grey ? 8 : 24;
  const auto width = static_cast<int32_t>(cinfo.image_width);
  const auto height = static_cast<int32_t>(cinfo.image_height);
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) return kResultBadData;
  if (!CreateFittedBitmap(cinfo, bits)) return bits > 24 ? kResultVersion : kResultNoMemory;

  jpeg_start_decompress(&cinfo);
  const size_t lineBytes = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
  JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                               static_cast<JDIMENSION>(lineBytes), 1);
  const size_t rowBytes = static_cast<size_t>(DibRowBytes(bits, cinfo.output_width));
  const size_t pixelBytes = static_cast<size_t>(cinfo.output_width) * (bits / 8);
  const bool singleScan = !jpeg_has_multiple_scans(&cinfo);
  const auto* source = reinterpret_cast<const FileSource*>(cinfo.src);
  // Past the end of a single-scan file the library decodes empty blocks, so once the rows
  // around the end are out every further row is the same: the rest are copies of the last
  // one rather than up to 65500 decoded rows. The library decodes at most one iMCU row ahead
  // of its output and reads a few bytes ahead of its decoding, so four iMCU rows past the
  // row where the end was seen are all empty blocks.
  const JDIMENSION rowsPastEnd = 4 * ImcuRowHeight(cinfo);
  JDIMENSION endedAt = 0;
  bool endSeen = false;
  int32_t lastY = -1;
  while (cinfo.output_scanline < cinfo.output_height) {
    if (LoadAborted()) return kResultAborted;
    if (singleScan && source->ended && !endSeen) {
      endSeen = true;
      endedAt = cinfo.output_scanline;
    }
    if (endSeen && cinfo.output_scanline >= endedAt + rowsPastEnd) break;
    const auto y = static_cast<int32_t>(cinfo.output_height - 1 - cinfo.output_scanline);
    uint8_t* row = RowBuffer(y);
    // Colour and grey rows are decoded in place; CMYK goes through the line.
    JSAMPROW into = row && !cmyk ? row : line[0];
    jpeg_read_scanlines(&cinfo, &into, 1);
    if (!row) continue;
    if (cmyk) CmykToBgr(line[0], row, cinfo.output_width);
    std::memset(row + pixelBytes, 0, rowBytes - pixelBytes);
    PutRow(y);
    lastY = y;
  }
  if (cinfo.output_scanline < cinfo.output_height) {
    if (!RepeatLastRow(cinfo, lastY, rowBytes)) return kResultAborted;
    jpeg_abort_decompress(&cinfo);
  } else {
    jpeg_finish_decompress(&cinfo);
  }

  char text[48];
  std::snprintf(text, sizeof text, "Ver.%d.%02d%s", cinfo.JFIF_major_version, cinfo.JFIF_minor_version,
                cinfo.progressive_mode ? " - progressive" : "");
  SetInfoText(record_, text);
  return kResultOk;
}

int32_t ImgFmtJPG::Load(RFileHandle file, uint32_t) {
  ClearAbort();
  HookBuffer block(sizeof(Decompression));  // the 4096-byte input block is part of it
  if (!block) return kResultNoMemory;
  auto* d = reinterpret_cast<Decompression*>(block.data());
  d->cinfo.err = jpeg_std_error(&d->trap.mgr);
  d->trap.mgr.error_exit = JumpBack;
  d->trap.mgr.output_message = NoOutput;
  if (setjmp(d->trap.jump)) {
    jpeg_destroy_decompress(&d->cinfo);
    return LoadAborted() ? kResultAborted : kResultBadData;
  }
  jpeg_create_decompress(&d->cinfo);
  AttachSource(d->cinfo, d->source, file);
  const int32_t result = Decode(d->cinfo);
  jpeg_destroy_decompress(&d->cinfo);
  return result;
}

}  // namespace crv
