#include "codecs/mpeg/mpeg_media.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace crv::mpeg {

namespace {

// Packets a probe reads at most for its first picture, and a seek for a key picture.
constexpr int kProbePackets = 20000;
constexpr int kScanPackets = 20000;

bool IsMpegVideo(const AVCodecParameters& p) {
  return p.codec_type == AVMEDIA_TYPE_VIDEO &&
         (p.codec_id == AV_CODEC_ID_MPEG1VIDEO || p.codec_id == AV_CODEC_ID_MPEG2VIDEO) && p.width >= 1 &&
         p.height >= 1 && p.width <= kMaxSide && p.height <= kMaxSide;
}

bool IsMpegSound(const AVCodecParameters& p) {
  return p.codec_type == AVMEDIA_TYPE_AUDIO &&
         (p.codec_id == AV_CODEC_ID_MP1 || p.codec_id == AV_CODEC_ID_MP2 || p.codec_id == AV_CODEC_ID_MP3) &&
         p.sample_rate >= 8000 && p.sample_rate <= 192000 && p.ch_layout.nb_channels >= 1;
}

AVCodecContext* OpenDecoder(const AVStream& stream) {
  const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
  if (!codec) return nullptr;
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (!context) return nullptr;
  if (avcodec_parameters_to_context(context, stream.codecpar) < 0) {
    avcodec_free_context(&context);
    return nullptr;
  }
  context->pkt_timebase = stream.time_base;
  context->thread_count = 1;  // pictures come out in step with the packets
  if (avcodec_open2(context, codec, nullptr) < 0) avcodec_free_context(&context);
  return context;
}

}  // namespace

bool MpegMedia::Open(const std::string& path, bool withSound) {
  Close();
  if (path.empty()) return false;
  // "file:" so that nothing in a path is taken for another protocol.
  const std::string url = "file:" + path;
  if (avformat_open_input(&format_, url.c_str(), nullptr, nullptr) < 0) {
    format_ = nullptr;
    return false;
  }
  if (avformat_find_stream_info(format_, nullptr) < 0) {
    Close();
    return false;
  }
  for (unsigned i = 0; i < format_->nb_streams && videoIndex_ < 0; ++i)
    if (IsMpegVideo(*format_->streams[i]->codecpar)) videoIndex_ = static_cast<int>(i);
  if (videoIndex_ < 0 || !(video_ = OpenDecoder(*format_->streams[videoIndex_])) || !(frame_ = av_frame_alloc())) {
    Close();
    return false;
  }
  const AVStream& video = *format_->streams[videoIndex_];
  facts_.width = video.codecpar->width;
  facts_.height = video.codecpar->height;
  const AVRational rate = av_guess_frame_rate(format_, format_->streams[videoIndex_], nullptr);
  if (rate.num > 0 && rate.den > 0) pictureMs_ = std::clamp<int64_t>(int64_t{1000} * rate.den / rate.num, 1, 1000);
  originMs_ = format_->start_time != AV_NOPTS_VALUE ? av_rescale(format_->start_time, 1000, AV_TIME_BASE) : 0;
  if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
    facts_.durationMs = av_rescale(format_->duration, 1000, AV_TIME_BASE);
  else if (video.duration != AV_NOPTS_VALUE && video.duration > 0)
    facts_.durationMs = av_rescale_q(video.duration, video.time_base, AVRational{1, 1000});

  if (withSound) {
    for (unsigned i = 0; i < format_->nb_streams && soundIndex_ < 0; ++i)
      if (IsMpegSound(*format_->streams[i]->codecpar)) soundIndex_ = static_cast<int>(i);
    if (soundIndex_ >= 0 && (sound_ = OpenDecoder(*format_->streams[soundIndex_]))) {
      soundRate_ = format_->streams[soundIndex_]->codecpar->sample_rate;
      soundChannels_ = std::min(format_->streams[soundIndex_]->codecpar->ch_layout.nb_channels, 2);
    } else {
      soundIndex_ = -1;
    }
  }
  // The demuxer need not hand over what nobody decodes.
  for (unsigned i = 0; i < format_->nb_streams; ++i)
    if (static_cast<int>(i) != videoIndex_ && static_cast<int>(i) != soundIndex_)
      format_->streams[i]->discard = AVDISCARD_ALL;
  return true;
}

void MpegMedia::Close() {
  if (video_) avcodec_free_context(&video_);
  if (sound_) avcodec_free_context(&sound_);
  if (frame_) av_frame_free(&frame_);
  if (format_) avformat_close_input(&format_);
  if (scaler_) sws_freeContext(scaler_);
  scaler_ = nullptr;
  swr_free(&resampler_);
  videoIndex_ = soundIndex_ = -1;
  soundRate_ = soundChannels_ = 0;
  resampleRate_ = resampleChannels_ = 0;
  resampleFormat_ = -1;
  originMs_ = nextPictureMs_ = nextSoundMs_ = 0;
  pictureMs_ = 40;
  facts_ = StreamFacts{};
  rows_.clear();
  rows_.shrink_to_fit();
  samples_.clear();
  samples_.shrink_to_fit();
}

void MpegMedia::DropSound() {
  if (sound_) avcodec_free_context(&sound_);
  swr_free(&resampler_);
  if (format_ && soundIndex_ >= 0) format_->streams[soundIndex_]->discard = AVDISCARD_ALL;
  soundIndex_ = -1;
  soundRate_ = soundChannels_ = 0;
}

MpegMedia::Packet MpegMedia::Read(AVPacket* packet) {
  if (!format_) return Packet::kEnd;
  const int result = av_read_frame(format_, packet);
  if (result == AVERROR(EAGAIN)) return Packet::kOther;
  if (result < 0) return Packet::kEnd;
  if (packet->stream_index == videoIndex_) return Packet::kVideo;
  if (sound_ && packet->stream_index == soundIndex_) return Packet::kSound;
  return Packet::kOther;
}

int64_t MpegMedia::Milliseconds(int64_t timestamp, int streamIndex) const {
  return av_rescale_q(timestamp, format_->streams[streamIndex]->time_base, AVRational{1, 1000}) - originMs_;
}

bool MpegMedia::ReceivePictures(const TakePicture& take) {
  while (avcodec_receive_frame(video_, frame_) >= 0) {
    const int64_t stamp = frame_->best_effort_timestamp;
    const int64_t ms = stamp != AV_NOPTS_VALUE ? Milliseconds(stamp, videoIndex_) : nextPictureMs_;
    nextPictureMs_ = ms + pictureMs_;
    const bool more = take(*frame_, ms);
    av_frame_unref(frame_);
    if (!more) return false;
  }
  return true;
}

bool MpegMedia::DecodeVideo(const AVPacket* packet, const TakePicture& take) {
  if (!video_) return true;
  if (!ReceivePictures(take)) return false;
  if (!packet) return true;
  if (avcodec_send_packet(video_, packet) < 0) return true;  // a damaged packet is skipped
  return ReceivePictures(take);
}

bool MpegMedia::FinishVideo(const TakePicture& take) {
  if (!video_) return true;
  avcodec_send_packet(video_, nullptr);
  return ReceivePictures(take);
}

bool MpegMedia::Resample(const AVFrame& frame, const TakeSound& take) {
  if (frame.nb_samples <= 0 || frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0) return true;
  if (!resampler_ || resampleRate_ != frame.sample_rate || resampleFormat_ != frame.format ||
      resampleChannels_ != frame.ch_layout.nb_channels) {
    swr_free(&resampler_);
    AVChannelLayout out;
    av_channel_layout_default(&out, soundChannels_);
    AVChannelLayout in = frame.ch_layout;  // FFmpeg 5.1 takes it without const
    if (swr_alloc_set_opts2(&resampler_, &out, AV_SAMPLE_FMT_S16, soundRate_, &in,
                            static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr) < 0 ||
        swr_init(resampler_) < 0) {
      swr_free(&resampler_);
      return true;
    }
    resampleRate_ = frame.sample_rate;
    resampleFormat_ = frame.format;
    resampleChannels_ = frame.ch_layout.nb_channels;
  }
  const int room = swr_get_out_samples(resampler_, frame.nb_samples);
  if (room <= 0) return true;
  samples_.resize(static_cast<size_t>(room) * static_cast<size_t>(soundChannels_));
  uint8_t* out[1] = {reinterpret_cast<uint8_t*>(samples_.data())};
  const int got = swr_convert(resampler_, out, room, const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
  if (got <= 0) return true;
  const int64_t stamp = frame.best_effort_timestamp;
  const int64_t ms = stamp != AV_NOPTS_VALUE ? Milliseconds(stamp, soundIndex_) : nextSoundMs_;
  nextSoundMs_ = ms + int64_t{got} * 1000 / soundRate_;
  return take(samples_.data(), got, ms);
}

bool MpegMedia::ReceiveSound(const TakeSound& take) {
  while (avcodec_receive_frame(sound_, frame_) >= 0) {
    const bool more = Resample(*frame_, take);
    av_frame_unref(frame_);
    if (!more) return false;
  }
  return true;
}

bool MpegMedia::DecodeSound(const AVPacket* packet, const TakeSound& take) {
  if (!sound_) return true;
  if (!ReceiveSound(take)) return false;
  if (!packet) return true;
  if (avcodec_send_packet(sound_, packet) < 0) return true;
  return ReceiveSound(take);
}

bool MpegMedia::FinishSound(const TakeSound& take) {
  if (!sound_) return true;
  avcodec_send_packet(sound_, nullptr);
  return ReceiveSound(take);
}

bool MpegMedia::ConvertPicture(const AVFrame& frame, uint16_t* out) {
  const int width = facts_.width;
  const int height = facts_.height;
  if (!out || !frame.data[0] || frame.width <= 0 || frame.height <= 0 || width <= 0 || height <= 0) return false;
  scaler_ = sws_getCachedContext(scaler_, frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), width,
                                 height, AV_PIX_FMT_RGB565LE, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler_) return false;
  // libswscale writes whole aligned blocks: into rows of our own, then copied out exactly.
  const size_t row = static_cast<size_t>(width) * 2;
  const size_t stride = (row + 63) & ~static_cast<size_t>(63);
  rows_.resize(stride * (static_cast<size_t>(height) + 1));
  uint8_t* planes[4] = {rows_.data(), nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(stride), 0, 0, 0};
  if (sws_scale(scaler_, frame.data, frame.linesize, 0, frame.height, planes, strides) != height) return false;
  for (int y = 0; y < height; ++y)
    std::memcpy(out + static_cast<size_t>(y) * width, rows_.data() + static_cast<size_t>(y) * stride, row);
  return true;
}

bool MpegMedia::SeekTime(int64_t ms) {
  const int64_t target = av_rescale(ms + originMs_, AV_TIME_BASE, 1000);
  if (avformat_seek_file(format_, -1, INT64_MIN, target, target, 0) >= 0) return true;
  return av_seek_frame(format_, -1, target, AVSEEK_FLAG_BACKWARD) >= 0;
}

bool MpegMedia::SeekBytes(int64_t position) { return av_seek_frame(format_, -1, position, AVSEEK_FLAG_BYTE) >= 0; }

int64_t MpegMedia::ScanForKey(AVPacket* packet, int64_t ms) {
  int64_t found = -1;
  // A picture that starts inside a container packet has no position of its own: reading from
  // the picture before it (whose position is known) reaches it.
  int64_t lastPosition = -1;
  for (int n = 0; n < kScanPackets; ++n) {
    const int result = av_read_frame(format_, packet);
    if (result == AVERROR(EAGAIN)) continue;
    if (result < 0) break;
    bool past = false;
    if (packet->stream_index == videoIndex_) {
      // Decode order decides when to stop; a key picture's own time whether it is early enough.
      const int64_t decoded = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
      const int64_t shown = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
      if (decoded != AV_NOPTS_VALUE && Milliseconds(decoded, videoIndex_) > ms) past = true;
      const int64_t position = packet->pos >= 0 ? packet->pos : lastPosition;
      if (!past && (packet->flags & AV_PKT_FLAG_KEY) && position >= 0 && shown != AV_NOPTS_VALUE &&
          Milliseconds(shown, videoIndex_) <= ms)
        found = position;
      if (packet->pos >= 0) lastPosition = packet->pos;
    }
    av_packet_unref(packet);
    if (past) break;
  }
  return found;
}

bool MpegMedia::SeekToKeyBefore(int64_t ms) {
  AVPacket* packet = av_packet_alloc();
  if (!packet) return false;
  int64_t found = -1;
  for (const int64_t back : {int64_t{1000}, int64_t{4000}, int64_t{16000}}) {
    const int64_t from = std::max<int64_t>(ms - back, 0);
    if (!(from == 0 ? SeekBytes(0) : SeekTime(from))) break;
    found = ScanForKey(packet, ms);
    if (found >= 0 || from == 0) break;
  }
  av_packet_free(&packet);
  if (found >= 0 && SeekBytes(found)) return true;
  return SeekTime(ms);
}

bool MpegMedia::Seek(int64_t ms) {
  if (!format_) return false;
  ms = std::max<int64_t>(ms, 0);
  bool moved = false;
  if (ms == 0) {
    // The start is byte 0, whatever the timestamps say.
    moved = SeekBytes(0) || SeekTime(0);
  } else if (format_->iformat->flags & AVFMT_NOTIMESTAMPS) {
    // Elementary streams: libavformat's own index of key pictures, built as it reads.
    const AVStream& video = *format_->streams[videoIndex_];
    moved = av_seek_frame(format_, videoIndex_, av_rescale_q(ms, AVRational{1, 1000}, video.time_base),
                          AVSEEK_FLAG_BACKWARD) >= 0;
  } else {
    moved = SeekToKeyBefore(ms);
  }
  if (!moved) return false;
  avcodec_flush_buffers(video_);
  if (sound_) avcodec_flush_buffers(sound_);
  swr_free(&resampler_);
  resampleRate_ = resampleChannels_ = 0;
  resampleFormat_ = -1;
  nextPictureMs_ = nextSoundMs_ = ms;
  return true;
}

bool ProbeFile(const std::string& path, StreamFacts* facts, std::vector<uint16_t>* picture) {
  MpegMedia media;
  if (!media.Open(path, false)) return false;
  const StreamFacts& found = media.Facts();
  picture->assign(static_cast<size_t>(found.width) * static_cast<size_t>(found.height), 0);
  bool converted = false;
  const MpegMedia::TakePicture take = [&](const AVFrame& frame, int64_t) {
    // A picture patched up from damaged data (a cut file) does not count.
    if (frame.decode_error_flags) return true;
    converted = media.ConvertPicture(frame, picture->data());
    return !converted;
  };
  AVPacket* packet = av_packet_alloc();
  if (!packet) return false;
  for (int n = 0; !converted && n < kProbePackets; ++n) {
    const MpegMedia::Packet kind = media.Read(packet);
    if (kind == MpegMedia::Packet::kEnd) {
      media.FinishVideo(take);
      break;
    }
    if (kind == MpegMedia::Packet::kVideo) media.DecodeVideo(packet, take);
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  if (!converted) return false;
  *facts = found;
  return true;
}

}  // namespace crv::mpeg
