#include "player/media/decoders/mjpeg.h"

#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace crv {

struct MjpegDecoder::State {
  AVCodecContext* context = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* scaler = nullptr;
  std::vector<uint8_t> bgr;
  std::vector<uint8_t> padded;  // the packet with the zero padding libavcodec reads past its end
};

MjpegDecoder::MjpegDecoder() = default;
MjpegDecoder::~MjpegDecoder() { Close(); }

bool MjpegDecoder::IsOpen() const { return state_ && state_->context; }

bool MjpegDecoder::Open() {
  Close();
  // The library's warnings (the JPEG range of its pixel formats, say) are no news to a player.
  if (av_log_get_level() > AV_LOG_ERROR) av_log_set_level(AV_LOG_ERROR);
  const AVCodec* codec = avcodec_find_decoder_by_name("mjpeg");
  if (!codec) return false;
  auto state = std::make_unique<State>();
  state->context = avcodec_alloc_context3(codec);
  state->frame = av_frame_alloc();
  state->packet = av_packet_alloc();
  state_ = std::move(state);
  if (!state_->context || !state_->frame || !state_->packet) {
    Close();
    return false;
  }
  state_->context->thread_count = 1;
  if (avcodec_open2(state_->context, codec, nullptr) < 0) {
    Close();
    return false;
  }
  return true;
}

void MjpegDecoder::Close() {
  if (!state_) return;
  sws_freeContext(state_->scaler);
  av_packet_free(&state_->packet);
  av_frame_free(&state_->frame);
  avcodec_free_context(&state_->context);
  state_.reset();
}

bool MjpegDecoder::Decode(const uint8_t* data, size_t size, const PixelTarget& target) {
  if (!IsOpen() || !data || size == 0 || size > (1u << 30)) return false;
  State& s = *state_;
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

  // The converter's fast path: its accurate rounding costs six times as much per frame for
  // differences of a level here and there.
  s.scaler = sws_getCachedContext(s.scaler, target.width, target.height,
                                  static_cast<AVPixelFormat>(s.frame->format), target.width,
                                  target.height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
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

}  // namespace crv
