#include "codecs/video_session.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace crv {
namespace {

bool SizeFits(int width, int height) {
  return width > 0 && height > 0 && width <= VideoSession::kMaxSide && height <= VideoSession::kMaxSide;
}

}  // namespace

int VideoSession::Init(int codec_id, int width, int height) {
  Finish();
  if (!SizeFits(width, height)) return kCodecBadSize;
  const AVCodec* codec = avcodec_find_decoder(static_cast<AVCodecID>(codec_id));
  if (!codec) return kCodecNoDecoder;
  context_ = avcodec_alloc_context3(codec);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!context_ || !frame_ || !packet_) {
    Finish();
    return kCodecNoDecoder;
  }
  // The container's size; decoders that carry their own in the bitstream take that instead.
  context_->width = context_->coded_width = width;
  context_->height = context_->coded_height = height;
  context_->thread_count = 1;  // one frame in, one frame out: no frame-thread delay
  if (avcodec_open2(context_, codec, nullptr) < 0) {
    Finish();
    return kCodecNoDecoder;
  }
  return kCodecOk;
}

void VideoSession::Finish() {
  if (context_) avcodec_free_context(&context_);
  if (frame_) av_frame_free(&frame_);
  if (packet_) av_packet_free(&packet_);
  if (scaler_) sws_freeContext(scaler_);
  scaler_ = nullptr;
  input_.clear();
  input_.shrink_to_fit();
  picture_.clear();
  picture_.shrink_to_fit();
}

int VideoSession::Decode(const void* data, int size, void* out, int width, int height, bool bgr24) {
  if (!context_) return kCodecNotReady;
  if (!data || size <= 0 || !out || !SizeFits(width, height)) return kCodecBadInput;
  // libavcodec's bitstream readers may look a little past the end: give them zeroes there.
  input_.assign(static_cast<size_t>(size) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  std::memcpy(input_.data(), data, static_cast<size_t>(size));
  av_packet_unref(packet_);
  packet_->data = input_.data();
  packet_->size = size;
  const int sent = avcodec_send_packet(context_, packet_);
  packet_->data = nullptr;
  packet_->size = 0;
  if (sent < 0) return kCodecBadInput;
  // A frame may come out with the packet; keep the newest and convert it.
  bool converted = false;
  for (;;) {
    const int got = avcodec_receive_frame(context_, frame_);
    if (got < 0) break;
    converted = Convert(frame_, static_cast<uint8_t*>(out), width, height, bgr24) || converted;
    av_frame_unref(frame_);
  }
  return converted ? kCodecOk : kCodecNoPicture;
}

bool VideoSession::Convert(const AVFrame* frame, uint8_t* out, int width, int height, bool bgr24) {
  const auto format = static_cast<AVPixelFormat>(frame->format);
  if (!frame->data[0] || frame->width <= 0 || frame->height <= 0 || !av_pix_fmt_desc_get(format))
    return false;
  // A picture at least as large as asked for gives its top-left part unscaled (a 177 x 145
  // stream shown as 176 x 144); a smaller one is stretched to fill the output.
  const bool crop = frame->width >= width && frame->height >= height;
  const int src_w = crop ? width : frame->width;
  const int src_h = crop ? height : frame->height;
  const AVPixelFormat target = bgr24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_RGB565LE;
  scaler_ = sws_getCachedContext(scaler_, src_w, src_h, format, width, height, target, SWS_BILINEAR,
                                 nullptr, nullptr, nullptr);
  if (!scaler_) return false;
  // libswscale writes whole aligned blocks: convert into rows of our own, then copy them out
  // so that the caller's buffer of exactly width x height pixels is never overrun.
  const size_t row = static_cast<size_t>(width) * (bgr24 ? 3 : 2);
  const size_t stride = (row + 63) & ~static_cast<size_t>(63);
  picture_.resize(stride * (height + 1));
  uint8_t* dst[4] = {picture_.data(), nullptr, nullptr, nullptr};
  int dst_stride[4] = {static_cast<int>(stride), 0, 0, 0};
  if (sws_scale(scaler_, frame->data, frame->linesize, 0, src_h, dst, dst_stride) != height) return false;
  for (int y = 0; y < height; ++y) std::memcpy(out + y * row, picture_.data() + y * stride, row);
  return true;
}

}  // namespace crv
