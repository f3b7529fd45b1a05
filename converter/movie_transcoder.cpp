#include "converter/movie_transcoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <filesystem>
#include <system_error>

#include "converter/frame_geometry.h"

namespace conv {
namespace {

constexpr int kDefaultKeyFrameRate = 24;
constexpr int kPcmFrameSamples = 1024;
constexpr Fixed kWhole = 0x10000;

// Fixed quantiser for the spatial quality of the settings.
int QuantiserFor(uint32_t quality) {
  if (quality >= kQualityMax) return 2;
  if (quality >= kQualityHigh) return 3;
  if (quality >= kQualityNormal) return 5;
  if (quality >= kQualityLow) return 10;
  return 20;
}

bool Decodable(const AVStream* stream) {
  const AVCodecParameters* par = stream->codecpar;
  if (!avcodec_find_decoder(par->codec_id)) return false;
  if (par->codec_type == AVMEDIA_TYPE_VIDEO) return par->width > 0 && par->height > 0;
  if (par->codec_type == AVMEDIA_TYPE_AUDIO) return par->sample_rate > 0 && par->ch_layout.nb_channels > 0;
  return false;
}

int FirstDecodable(AVFormatContext* input, AVMediaType type) {
  int best = av_find_best_stream(input, type, -1, -1, nullptr, 0);
  if (best >= 0 && Decodable(input->streams[best])) return best;
  for (unsigned i = 0; i < input->nb_streams; ++i)
    if (input->streams[i]->codecpar->codec_type == type && Decodable(input->streams[i])) return static_cast<int>(i);
  return -1;
}

AVCodecContext* OpenDecoder(const AVStream* stream) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  AVCodecContext* dec = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (!dec) return nullptr;
  if (avcodec_parameters_to_context(dec, stream->codecpar) < 0 || avcodec_open2(dec, codec, nullptr) < 0)
    avcodec_free_context(&dec);
  return dec;
}

class Export {
 public:
  Export(AVFormatContext* input, const ExportSettings& settings, const ExportProgress& progress)
      : in_(input), settings_(settings), progress_(progress) {}
  ~Export();
  OSErr Run(const std::string& url);

 private:
  OSErr Open(const std::string& url);
  OSErr OpenVideo();
  OSErr OpenAudio();
  OSErr Pump();
  OSErr DecodeVideo(const AVPacket* packet);
  OSErr EncodeVideo(const AVFrame* frame);
  OSErr DecodeAudio(const AVPacket* packet);
  OSErr Resample(const AVFrame* frame);
  OSErr DrainAudio(bool final);
  OSErr Encode(AVCodecContext* enc, AVStream* stream, const AVFrame* frame);
  bool Report(int16_t message, Fixed percent);
  bool ReportPosition(const AVPacket* packet);

  AVFormatContext* in_;
  ExportSettings settings_;
  const ExportProgress& progress_;
  AVFormatContext* out_ = nullptr;
  bool headerWritten_ = false;
  AVPacket* packet_ = nullptr;
  AVFrame* decoded_ = nullptr;

  // picture
  int videoIn_ = -1;
  AVCodecContext* videoDec_ = nullptr;
  AVCodecContext* videoEnc_ = nullptr;
  AVStream* videoOut_ = nullptr;
  SwsContext* scaler_ = nullptr;
  FrameGeometry geometry_;
  int64_t videoStart_ = 0;
  int64_t lastPts_ = AV_NOPTS_VALUE;
  int64_t videoPackets_ = 0;

  // sound
  int audioIn_ = -1;
  AVCodecContext* audioDec_ = nullptr;
  AVCodecContext* audioEnc_ = nullptr;
  AVStream* audioOut_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  int audioFrameSamples_ = 0;
  int64_t audioPts_ = 0;
  int64_t audioEndUs_ = 0;

  int64_t durationUs_ = 0;
  Fixed reported_ = -1;
};

Export::~Export() {
  av_packet_free(&packet_);
  av_frame_free(&decoded_);
  avcodec_free_context(&videoDec_);
  avcodec_free_context(&videoEnc_);
  avcodec_free_context(&audioDec_);
  avcodec_free_context(&audioEnc_);
  sws_freeContext(scaler_);
  swr_free(&resampler_);
  if (fifo_) av_audio_fifo_free(fifo_);
  if (out_) {
    if (out_->pb) avio_closep(&out_->pb);
    avformat_free_context(out_);
  }
}

bool Export::Report(int16_t message, Fixed percent) { return !progress_ || progress_(message, percent); }

bool Export::ReportPosition(const AVPacket* packet) {
  int main = videoIn_ >= 0 ? videoIn_ : audioIn_;
  if (packet->stream_index != main || packet->pts == AV_NOPTS_VALUE || durationUs_ <= 0) return true;
  AVStream* stream = in_->streams[main];
  int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
  int64_t us = av_rescale_q(packet->pts - start, stream->time_base, AVRational{1, 1000000});
  if (us < 0) us = 0;
  Fixed percent = static_cast<Fixed>(us >= durationUs_ ? kWhole : us * kWhole / durationUs_);
  if (reported_ >= 0 && percent < reported_ + 0x100) return true;
  reported_ = percent;
  return Report(kProgressUpdatePercent, percent);
}

OSErr Export::OpenVideo() {
  videoIn_ = FirstDecodable(in_, AVMEDIA_TYPE_VIDEO);
  if (videoIn_ < 0) return kNoErr;  // a movie of sound only
  AVStream* source = in_->streams[videoIn_];
  videoDec_ = OpenDecoder(source);
  if (!videoDec_) return kCodecErr;

  bool h263 = settings_.videoCodec == kCodecH263;
  const AVCodec* codec = avcodec_find_encoder(h263 ? AV_CODEC_ID_H263 : AV_CODEC_ID_SVQ1);
  if (!codec) return kCodecErr;
  AVRational aspect = av_guess_sample_aspect_ratio(in_, source, nullptr);
  const AVCodecParameters* par = source->codecpar;
  geometry_ = h263 ? H263Geometry(par->width, par->height, aspect.num, aspect.den)
                   : SorensonGeometry(par->width, par->height, aspect.num, aspect.den);

  AVRational rate = settings_.frameRate > 0 ? av_d2q(settings_.FrameRateFps(), 100000)
                                            : av_guess_frame_rate(in_, source, nullptr);
  if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 120.0) rate = AVRational{25, 1};
  // H.263 counts time in a 29.97 Hz clock: faster movies lose the frames in between.
  if (h263 && av_q2d(rate) > 30000.0 / 1001) rate = AVRational{30000, 1001};

  videoEnc_ = avcodec_alloc_context3(codec);
  if (!videoEnc_) return kCodecErr;
  videoEnc_->width = geometry_.width;
  videoEnc_->height = geometry_.height;
  videoEnc_->sample_aspect_ratio = AVRational{1, 1};
  videoEnc_->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
  videoEnc_->time_base = av_inv_q(rate);
  videoEnc_->framerate = rate;
  videoEnc_->gop_size = settings_.keyFrameRate > 0 ? static_cast<int>(settings_.keyFrameRate) : kDefaultKeyFrameRate;
  videoEnc_->max_b_frames = 0;
  if (settings_.dataRate > 0) {
    videoEnc_->bit_rate = static_cast<int64_t>(settings_.dataRate) * 8;
  } else {
    videoEnc_->flags |= AV_CODEC_FLAG_QSCALE;
    videoEnc_->global_quality = QuantiserFor(settings_.spatialQuality) * FF_QP2LAMBDA;
  }
  if (out_->oformat->flags & AVFMT_GLOBALHEADER) videoEnc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(videoEnc_, codec, nullptr) < 0) return kCodecErr;

  videoOut_ = avformat_new_stream(out_, nullptr);
  if (!videoOut_ || avcodec_parameters_from_context(videoOut_->codecpar, videoEnc_) < 0) return kCodecErr;
  videoOut_->time_base = videoEnc_->time_base;
  videoStart_ = source->start_time == AV_NOPTS_VALUE ? 0 : source->start_time;
  return kNoErr;
}

OSErr Export::OpenAudio() {
  audioIn_ = FirstDecodable(in_, AVMEDIA_TYPE_AUDIO);
  if (audioIn_ < 0) return kNoErr;  // a silent movie
  AVStream* source = in_->streams[audioIn_];
  audioDec_ = OpenDecoder(source);
  if (!audioDec_) return kCodecErr;

  bool ima = settings_.soundFormat == kSoundIma4;
  const AVCodec* codec = avcodec_find_encoder(ima ? AV_CODEC_ID_ADPCM_IMA_QT : AV_CODEC_ID_PCM_S16LE);
  if (!codec) return kCodecErr;
  audioEnc_ = avcodec_alloc_context3(codec);
  if (!audioEnc_) return kCodecErr;
  audioEnc_->sample_rate = static_cast<int>(settings_.SampleRateHz() + 0.5);
  av_channel_layout_default(&audioEnc_->ch_layout, settings_.channels);
  audioEnc_->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  audioEnc_->time_base = AVRational{1, audioEnc_->sample_rate};
  if (avcodec_open2(audioEnc_, codec, nullptr) < 0) return kCodecErr;
  audioFrameSamples_ = audioEnc_->frame_size > 0 ? audioEnc_->frame_size : kPcmFrameSamples;

  AVChannelLayout inLayout;
  if (audioDec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&inLayout, audioDec_->ch_layout.nb_channels);
  else
    av_channel_layout_copy(&inLayout, &audioDec_->ch_layout);
  int made = swr_alloc_set_opts2(&resampler_, &audioEnc_->ch_layout, audioEnc_->sample_fmt, audioEnc_->sample_rate,
                                 &inLayout, audioDec_->sample_fmt, audioDec_->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&inLayout);
  if (made < 0 || swr_init(resampler_) < 0) return kCodecErr;
  fifo_ = av_audio_fifo_alloc(audioEnc_->sample_fmt, audioEnc_->ch_layout.nb_channels, audioFrameSamples_ * 4);
  if (!fifo_) return kCodecErr;

  audioOut_ = avformat_new_stream(out_, nullptr);
  if (!audioOut_ || avcodec_parameters_from_context(audioOut_->codecpar, audioEnc_) < 0) return kCodecErr;
  audioOut_->time_base = audioEnc_->time_base;
  return kNoErr;
}

OSErr Export::Open(const std::string& url) {
  if (avformat_alloc_output_context2(&out_, nullptr, "mov", url.c_str()) < 0 || !out_) return kCodecErr;
  packet_ = av_packet_alloc();
  decoded_ = av_frame_alloc();
  if (!packet_ || !decoded_) return kCodecErr;
  OSErr err = settings_.video ? OpenVideo() : kNoErr;
  if (err == kNoErr && settings_.sound) err = OpenAudio();
  if (err != kNoErr) return err;
  if (!videoOut_ && !audioOut_) return kCodecErr;  // nothing left to write

  int64_t duration = in_->duration;
  int main = videoIn_ >= 0 ? videoIn_ : audioIn_;
  if (duration <= 0 && in_->streams[main]->duration > 0)
    duration = av_rescale_q(in_->streams[main]->duration, in_->streams[main]->time_base, AVRational{1, AV_TIME_BASE});
  durationUs_ = duration > 0 ? av_rescale(duration, 1000000, AV_TIME_BASE) : 0;

  if (avio_open(&out_->pb, url.c_str(), AVIO_FLAG_WRITE) < 0) return kIoErr;
  AVDictionary* options = nullptr;
  // The movie resource first, so the player can start a movie that is still arriving.
  av_dict_set(&options, "movflags", "faststart", 0);
  int written = avformat_write_header(out_, &options);
  av_dict_free(&options);
  if (written < 0) return kIoErr;
  headerWritten_ = true;
  return kNoErr;
}

OSErr Export::Encode(AVCodecContext* enc, AVStream* stream, const AVFrame* frame) {
  if (avcodec_send_frame(enc, frame) < 0) return kCodecErr;
  for (;;) {
    int got = avcodec_receive_packet(enc, packet_);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return kNoErr;
    if (got < 0) return kCodecErr;
    av_packet_rescale_ts(packet_, enc->time_base, stream->time_base);
    packet_->stream_index = stream->index;
    if (av_interleaved_write_frame(out_, packet_) < 0) return kIoErr;
  }
}

OSErr Export::EncodeVideo(const AVFrame* frame) {
  if (!frame) return Encode(videoEnc_, videoOut_, nullptr);
  AVStream* source = in_->streams[videoIn_];
  int64_t ts = frame->best_effort_timestamp;
  int64_t pts;
  if (ts == AV_NOPTS_VALUE) {
    pts = lastPts_ == AV_NOPTS_VALUE ? 0 : lastPts_ + 1;
  } else {
    pts = av_rescale_q_rnd(ts - videoStart_, source->time_base, videoEnc_->time_base,
                           static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    if (pts < 0) pts = 0;
  }
  if (lastPts_ != AV_NOPTS_VALUE && pts <= lastPts_) return kNoErr;  // falls on the frame before

  AVFrame* picture = av_frame_alloc();
  if (!picture) return kCodecErr;
  picture->format = videoEnc_->pix_fmt;
  picture->width = geometry_.width;
  picture->height = geometry_.height;
  OSErr err = kNoErr;
  if (av_frame_get_buffer(picture, 0) < 0) err = kCodecErr;
  if (err == kNoErr) {
    scaler_ = sws_getCachedContext(scaler_, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                   geometry_.pictureWidth, geometry_.pictureHeight, videoEnc_->pix_fmt, SWS_BICUBIC,
                                   nullptr, nullptr, nullptr);
    if (!scaler_) err = kCodecErr;
  }
  if (err == kNoErr) {
    ptrdiff_t lines[4] = {picture->linesize[0], picture->linesize[1], picture->linesize[2], picture->linesize[3]};
    av_image_fill_black(picture->data, lines, videoEnc_->pix_fmt, AVCOL_RANGE_MPEG, picture->width, picture->height);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(videoEnc_->pix_fmt);
    uint8_t* planes[4] = {};
    for (int i = 0; i < 4 && picture->data[i]; ++i) {
      int sx = i == 1 || i == 2 ? desc->log2_chroma_w : 0, sy = i == 1 || i == 2 ? desc->log2_chroma_h : 0;
      planes[i] = picture->data[i] + (geometry_.pictureY >> sy) * picture->linesize[i] + (geometry_.pictureX >> sx);
    }
    sws_scale(scaler_, frame->data, frame->linesize, 0, frame->height, planes, picture->linesize);
    picture->pts = pts;
    picture->quality = videoEnc_->global_quality;
    picture->pict_type = AV_PICTURE_TYPE_NONE;
    lastPts_ = pts;
    err = Encode(videoEnc_, videoOut_, picture);
  }
  av_frame_free(&picture);
  return err;
}

OSErr Export::DecodeVideo(const AVPacket* packet) {
  int sent = avcodec_send_packet(videoDec_, packet);
  // A damaged picture is skipped, as a player would; the rest of the movie still converts.
  if (sent < 0 && sent != AVERROR_INVALIDDATA && sent != AVERROR_EOF) return kCodecErr;
  for (;;) {
    int got = avcodec_receive_frame(videoDec_, decoded_);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return kNoErr;
    if (got == AVERROR_INVALIDDATA) continue;
    if (got < 0) return kCodecErr;
    OSErr err = EncodeVideo(decoded_);
    av_frame_unref(decoded_);
    if (err != kNoErr) return err;
  }
}

OSErr Export::Resample(const AVFrame* frame) {
  int capacity = swr_get_out_samples(resampler_, frame ? frame->nb_samples : 0);
  if (capacity <= 0) return kNoErr;
  uint8_t** buffers = nullptr;
  int channels = audioEnc_->ch_layout.nb_channels;
  if (av_samples_alloc_array_and_samples(&buffers, nullptr, channels, capacity, audioEnc_->sample_fmt, 0) < 0)
    return kCodecErr;
  int made = swr_convert(resampler_, buffers, capacity, frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                         frame ? frame->nb_samples : 0);
  OSErr err = made < 0 ? kCodecErr : kNoErr;
  if (made > 0 && av_audio_fifo_write(fifo_, reinterpret_cast<void**>(buffers), made) < made) err = kCodecErr;
  av_freep(&buffers[0]);
  av_freep(&buffers);
  return err;
}

OSErr Export::DrainAudio(bool final) {
  while (av_audio_fifo_size(fifo_) >= audioFrameSamples_ || (final && av_audio_fifo_size(fifo_) > 0)) {
    AVFrame* frame = av_frame_alloc();
    if (!frame) return kCodecErr;
    frame->nb_samples = audioFrameSamples_;
    frame->format = audioEnc_->sample_fmt;
    frame->sample_rate = audioEnc_->sample_rate;
    OSErr err = kNoErr;
    if (av_channel_layout_copy(&frame->ch_layout, &audioEnc_->ch_layout) < 0 || av_frame_get_buffer(frame, 0) < 0) {
      err = kCodecErr;
    } else {
      int got = av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame->data), audioFrameSamples_);
      if (got < audioFrameSamples_)  // the last block, filled up with silence
        av_samples_set_silence(frame->data, got < 0 ? 0 : got, audioFrameSamples_ - (got < 0 ? 0 : got),
                               audioEnc_->ch_layout.nb_channels, audioEnc_->sample_fmt);
      frame->pts = audioPts_;
      audioPts_ += audioFrameSamples_;
      err = Encode(audioEnc_, audioOut_, frame);
    }
    av_frame_free(&frame);
    if (err != kNoErr) return err;
  }
  if (final) return Encode(audioEnc_, audioOut_, nullptr);
  return kNoErr;
}

OSErr Export::DecodeAudio(const AVPacket* packet) {
  int sent = avcodec_send_packet(audioDec_, packet);
  if (sent < 0 && sent != AVERROR_INVALIDDATA && sent != AVERROR_EOF) return kCodecErr;
  for (;;) {
    int got = avcodec_receive_frame(audioDec_, decoded_);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) break;
    if (got == AVERROR_INVALIDDATA) continue;
    if (got < 0) return kCodecErr;
    OSErr err = Resample(decoded_);
    av_frame_unref(decoded_);
    if (err == kNoErr) err = DrainAudio(false);
    if (err != kNoErr) return err;
  }
  if (!packet) {
    OSErr err = Resample(nullptr);
    return err == kNoErr ? DrainAudio(true) : err;
  }
  return kNoErr;
}

OSErr Export::Pump() {
  AVPacket* packet = av_packet_alloc();
  if (!packet) return kCodecErr;
  OSErr err = kNoErr;
  for (;;) {
    int read = av_read_frame(in_, packet);
    if (read == AVERROR_EOF) break;
    if (read < 0) {
      err = kInvalidMovie;  // a read error, or data the index promises but the file lacks
      break;
    }
    if (packet->stream_index == videoIn_ && videoOut_) {
      ++videoPackets_;
      err = DecodeVideo(packet);
    } else if (packet->stream_index == audioIn_ && audioOut_) {
      err = DecodeAudio(packet);
    }
    bool goOn = err == kNoErr && ReportPosition(packet);
    av_packet_unref(packet);
    if (err != kNoErr) break;
    if (!goOn) {
      err = kUserCanceledErr;
      break;
    }
  }
  av_packet_free(&packet);
  if (err != kNoErr) return err;

  // A movie cut short: fewer pictures than its header declares.
  if (videoOut_) {
    int64_t declared = in_->streams[videoIn_]->nb_frames;
    if (declared > 0 && videoPackets_ + 2 < declared && videoPackets_ * 50 < declared * 49) return kInvalidMovie;
  }
  if (videoOut_) {
    err = DecodeVideo(nullptr);
    if (err == kNoErr) err = EncodeVideo(nullptr);
  }
  if (err == kNoErr && audioOut_) err = DecodeAudio(nullptr);
  return err;
}

OSErr Export::Run(const std::string& url) {
  if (!Report(kProgressOpen, 0)) return kUserCanceledErr;
  OSErr err = Open(url);
  if (err == kNoErr) err = Pump();
  if (err == kNoErr) {
    if (av_write_trailer(out_) < 0) err = kIoErr;
    if (err == kNoErr && !Report(kProgressUpdatePercent, kWhole)) err = kUserCanceledErr;
  }
  if (out_ && out_->pb) {
    if (out_->pb->error < 0 && err == kNoErr) err = kIoErr;
    avio_closep(&out_->pb);
  }
  Report(kProgressClose, err == kNoErr ? kWhole : reported_ < 0 ? 0 : reported_);
  return err;
}

}  // namespace

std::string FileUrl(const u16& path) { return "file:" + ToUtf8(path); }

OSErr OpenMovieInput(const std::string& url, AVFormatContext** input) {
  *input = nullptr;
  AVFormatContext* context = nullptr;
  int opened = avformat_open_input(&context, url.c_str(), nullptr, nullptr);
  if (opened == AVERROR(ENOENT)) return kFileNotFoundErr;
  if (opened == AVERROR_INVALIDDATA) return kNoMovieFound;
  if (opened < 0) return kIoErr;
  if (avformat_find_stream_info(context, nullptr) < 0) {
    avformat_close_input(&context);
    return kNoMovieFound;
  }
  if (FirstDecodable(context, AVMEDIA_TYPE_VIDEO) < 0 && FirstDecodable(context, AVMEDIA_TYPE_AUDIO) < 0) {
    avformat_close_input(&context);
    return kNoMovieFound;
  }
  *input = context;
  return kNoErr;
}

void CloseMovieInput(AVFormatContext** input) { avformat_close_input(input); }

OSErr ExportQuickTime(AVFormatContext* input, const u16& outputPath, const ExportSettings& settings,
                      const ExportProgress& progress) {
  if (!CanExport(settings)) return kParamErr;
  OSErr err;
  {
    Export job(input, settings, progress);
    err = job.Run(FileUrl(outputPath));
  }
  if (err != kNoErr) {
    // Nothing half-written stays behind (the caller made sure the name was free).
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(outputPath), ignored);
  }
  return err;
}

}  // namespace conv
