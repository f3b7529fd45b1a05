#include "player/media/decoders/mjpeg.h"

// jpeglib.h wants size_t and FILE declared first.
#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "player/media/decoders/ycc_to_565.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#if !defined(JCS_EXTENSIONS) || !defined(MEM_SRCDST_SUPPORTED)
#error "the JPEG library must offer JCS_RGB565, JCS_EXT_BGR and jpeg_mem_src (libjpeg-turbo)"
#endif

namespace crv {

namespace {

// The JPEG library's error manager: a fatal error jumps back instead of ending the process,
// warnings (data that ends early, say) are not printed.
struct ErrorTrap {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorTrap*>(cinfo->err)->jump, 1); }
void NoOutput(j_common_ptr) {}

// The JPEG library, made once and reused for every frame.
struct JpegLibrary {
  jpeg_decompress_struct cinfo{};
  ErrorTrap trap{};
  bool made = false;
  std::vector<JSAMPROW> rows;
  // One band of the three planes, for the pictures converted here.
  std::vector<uint8_t> planes[3];
  std::vector<JSAMPROW> plane_rows[3];
  JSAMPARRAY image[3] = {};
};

// libavcodec, for the pictures the JPEG library does not take.
struct Libavcodec {
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* scaler = nullptr;
  std::vector<uint8_t> bgr;
  std::vector<uint8_t> padded;  // the packet with the zero padding libavcodec reads past its end
};

bool MakeJpegLibrary(JpegLibrary& s) {
  s.cinfo.err = jpeg_std_error(&s.trap.mgr);
  s.trap.mgr.error_exit = JumpBack;
  s.trap.mgr.output_message = NoOutput;
  if (setjmp(s.trap.jump)) return false;
  jpeg_create_decompress(&s.cinfo);
  s.made = true;
  return true;
}

// The sampling Motion JPEG cameras and encoders write: YCbCr with chroma at full or half
// resolution across and down. Such pictures are taken as planes and converted here in one
// pass; the library's own 5-6-5 output is plain C and its colour rows would need a second
// pass.
bool IsConvertedHere(const jpeg_decompress_struct& cinfo) {
  if (cinfo.jpeg_color_space != JCS_YCbCr || cinfo.num_components != 3) return false;
  const jpeg_component_info* c = cinfo.comp_info;
  const int h = c[0].h_samp_factor, v = c[0].v_samp_factor;
  return (h == 1 || h == 2) && (v == 1 || v == 2) && cinfo.max_h_samp_factor == h && cinfo.max_v_samp_factor == v &&
         c[1].h_samp_factor == 1 && c[1].v_samp_factor == 1 && c[2].h_samp_factor == 1 && c[2].v_samp_factor == 1;
}

// The library's output rows go straight into the target.
void ReadRowsIntoTarget(JpegLibrary& s, const PixelTarget& target) {
  jpeg_decompress_struct& cinfo = s.cinfo;
  s.rows.resize(static_cast<size_t>(target.height));
  for (int y = 0; y < target.height; ++y) s.rows[y] = target.Row(y);
  while (cinfo.output_scanline < cinfo.output_height) {
    const JDIMENSION at = cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, s.rows.data() + at, cinfo.output_height - at) == 0) break;
  }
}

// The planes a band (one row of blocks) at a time, each band converted while it is in the
// cache.
void ReadPlanesInto565(JpegLibrary& s, const PixelTarget& target) {
  jpeg_decompress_struct& cinfo = s.cinfo;
  const int across = cinfo.comp_info[0].h_samp_factor, down = cinfo.comp_info[0].v_samp_factor;
  const int band = down * DCTSIZE;
  for (int ci = 0; ci < 3; ++ci) {
    const jpeg_component_info& c = cinfo.comp_info[ci];
    const size_t row_bytes = static_cast<size_t>(c.width_in_blocks) * DCTSIZE;
    const int rows = c.v_samp_factor * DCTSIZE;
    s.planes[ci].resize(row_bytes * rows);
    s.plane_rows[ci].resize(rows);
    for (int r = 0; r < rows; ++r) s.plane_rows[ci][r] = s.planes[ci].data() + r * row_bytes;
    s.image[ci] = s.plane_rows[ci].data();
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    const int top = static_cast<int>(cinfo.output_scanline);
    if (jpeg_read_raw_data(&cinfo, s.image, band) == 0) break;
    const int rows = std::min(band, target.height - top);
    for (int r = 0; r < rows; r += down) {
      YccRows ycc;
      ycc.count = std::min(down, rows - r);
      for (int i = 0; i < ycc.count; ++i) {
        ycc.luma[i] = s.image[0][r + i];
        ycc.out[i] = target.Row(top + r + i);
      }
      ycc.cb = s.image[1][r / down];
      ycc.cr = s.image[2][r / down];
      ycc.half_chroma = across == 2;
      YccRowsTo565(ycc, target.width);
    }
  }
}

// True when the JPEG library painted the whole target. Nothing in here may own anything
// that the jump back would leave behind: the buffers are the state's.
bool DecodeWithJpegLibrary(JpegLibrary& s, const uint8_t* data, size_t size, const PixelTarget& target) {
  jpeg_decompress_struct& cinfo = s.cinfo;
  if (setjmp(s.trap.jump)) {
    jpeg_abort_decompress(&cinfo);
    return false;
  }
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_abort_decompress(&cinfo);
    return false;
  }
  // One field of an interlaced frame has half the height; a progressive picture could ask
  // for any number of scans. Both are libavcodec's.
  if (cinfo.image_width != static_cast<JDIMENSION>(target.width) ||
      cinfo.image_height != static_cast<JDIMENSION>(target.height) || cinfo.progressive_mode) {
    jpeg_abort_decompress(&cinfo);
    return false;
  }
  if (cinfo.jpeg_color_space != JCS_YCbCr && cinfo.jpeg_color_space != JCS_GRAYSCALE &&
      cinfo.jpeg_color_space != JCS_RGB) {
    jpeg_abort_decompress(&cinfo);
    return false;
  }
  const bool planes = target.form == PixelForm::kRgb565 && IsConvertedHere(cinfo);
  if (planes) {
    cinfo.raw_data_out = TRUE;
    cinfo.out_color_space = JCS_YCbCr;
  } else {
    // Chroma is taken as it stands for each pair of pixels (the merged upsampling), as in
    // the planes converted here; 5-6-5 words keep the high bits, without dithering.
    cinfo.out_color_space = target.form == PixelForm::kBgr24 ? JCS_EXT_BGR : JCS_RGB565;
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.dither_mode = JDITHER_NONE;
  }
  jpeg_start_decompress(&cinfo);
  if (planes)
    ReadPlanesInto565(s, target);
  else
    ReadRowsIntoTarget(s, target);
  const bool whole = cinfo.output_scanline >= cinfo.output_height;
  jpeg_abort_decompress(&cinfo);  // the rest of the data (a second field, trailing bytes) is not needed
  return whole;
}

bool OpenLibavcodec(Libavcodec& s) {
  // The library's warnings (the JPEG range of its pixel formats, say) are no news to a player.
  if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
  const AVCodec* codec = avcodec_find_decoder_by_name("mjpeg");
  if (!codec) return false;
  s.context = avcodec_alloc_context3(codec);
  s.frame = av_frame_alloc();
  s.packet = av_packet_alloc();
  if (!s.context || !s.frame || !s.packet) return false;
  s.context->thread_count = 1;
  return avcodec_open2(s.context, codec, nullptr) >= 0;
}

// libavcodec's full-range planes go through the same conversion as the JPEG library's.
bool PutPlanesAs565(const AVFrame& frame, const PixelTarget& target) {
  int down = 1;
  bool half = true;
  switch (frame.format) {
    case AV_PIX_FMT_YUVJ420P: down = 2; break;
    case AV_PIX_FMT_YUVJ422P: break;
    case AV_PIX_FMT_YUVJ444P: half = false; break;
    default: return false;
  }
  for (int y = 0; y < target.height; y += down) {
    YccRows ycc;
    ycc.count = std::min(down, target.height - y);
    for (int i = 0; i < ycc.count; ++i) {
      ycc.luma[i] = frame.data[0] + static_cast<ptrdiff_t>(y + i) * frame.linesize[0];
      ycc.out[i] = target.Row(y + i);
    }
    ycc.cb = frame.data[1] + static_cast<ptrdiff_t>(y / down) * frame.linesize[1];
    ycc.cr = frame.data[2] + static_cast<ptrdiff_t>(y / down) * frame.linesize[2];
    ycc.half_chroma = half;
    YccRowsTo565(ycc, target.width);
  }
  return true;
}

bool DecodeWithLibavcodec(Libavcodec& s, const uint8_t* data, size_t size, const PixelTarget& target) {
  s.padded.assign(data, data + size);
  s.padded.resize(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  av_packet_unref(s.packet);
  s.packet->data = s.padded.data();
  s.packet->size = static_cast<int>(size);
  if (avcodec_send_packet(s.context, s.packet) < 0) return false;
  av_frame_unref(s.frame);
  const int got = avcodec_receive_frame(s.context, s.frame);
  s.packet->data = nullptr;
  s.packet->size = 0;
  if (got < 0) return false;
  // A picture of another size than the stream's would not fit the frame buffer.
  if (s.frame->width != target.width || s.frame->height != target.height) return false;
  if (target.form == PixelForm::kRgb565 && PutPlanesAs565(*s.frame, target)) return true;

  // Anything else through the converter's accurate path: its fast one leaves the last
  // pixels of a row black when the width is not a multiple of 16.
  s.scaler = sws_getCachedContext(s.scaler, target.width, target.height,
                                  static_cast<AVPixelFormat>(s.frame->format), target.width, target.height,
                                  AV_PIX_FMT_BGR24, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
  if (!s.scaler) return false;
  const int stride = FFALIGN(target.width * 3, 32);
  s.bgr.resize(static_cast<size_t>(stride) * target.height + 64);
  uint8_t* planes[4] = {s.bgr.data(), nullptr, nullptr, nullptr};
  int strides[4] = {stride, 0, 0, 0};
  if (sws_scale(s.scaler, s.frame->data, s.frame->linesize, 0, target.height, planes, strides) !=
      target.height)
    return false;
  PutBgrPicture(s.bgr.data(), static_cast<size_t>(stride), target);
  return true;
}

void CloseLibavcodec(Libavcodec& s) {
  sws_freeContext(s.scaler);
  s.scaler = nullptr;
  av_packet_free(&s.packet);
  av_frame_free(&s.frame);
  avcodec_free_context(&s.context);
}

}  // namespace

struct MjpegDecoder::State {
  JpegLibrary jpeg;
  Libavcodec avcodec;
};

MjpegDecoder::MjpegDecoder() = default;
MjpegDecoder::~MjpegDecoder() { Close(); }

bool MjpegDecoder::IsOpen() const { return state_ && state_->avcodec.context; }

bool MjpegDecoder::Open() {
  Close();
  state_ = std::make_unique<State>();
  if (!OpenLibavcodec(state_->avcodec) || !MakeJpegLibrary(state_->jpeg)) {
    Close();
    return false;
  }
  return true;
}

void MjpegDecoder::Close() {
  last_path_ = Path::kNone;
  if (!state_) return;
  if (state_->jpeg.made) jpeg_destroy_decompress(&state_->jpeg.cinfo);
  CloseLibavcodec(state_->avcodec);
  state_.reset();
}

bool MjpegDecoder::Decode(const uint8_t* data, size_t size, const PixelTarget& target) {
  last_path_ = Path::kNone;
  if (!IsOpen() || !data || size == 0 || size > (1u << 30) || target.width <= 0 || target.height <= 0)
    return false;
  if (DecodeWithJpegLibrary(state_->jpeg, data, size, target)) {
    last_path_ = Path::kJpegLibrary;
    return true;
  }
  if (!DecodeWithLibavcodec(state_->avcodec, data, size, target)) return false;
  last_path_ = Path::kLibavcodec;
  return true;
}

}  // namespace crv
