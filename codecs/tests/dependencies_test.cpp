// What the player, the codec libraries and the converter take from the third-party libraries,
// checked in both builds: every FFmpeg component we rely on is in the build, h263/svq1 video
// and the audio codecs go through encode and decode, the mov muxer writes what the demuxers
// read back, swscale and swresample convert; pugixml parses the library's kind of files.
// JPEG and TIFF have their own files (jpeglib.h stays apart from everything else).
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace {

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct InputClose {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecParametersFree {
  void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using InputPtr = std::unique_ptr<AVFormatContext, InputClose>;
using CodecParametersPtr = std::unique_ptr<AVCodecParameters, CodecParametersFree>;

std::string AvError(int err) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(err, text, sizeof text);
  return text;
}

std::filesystem::path TempFile(const std::string& suffix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("crv_deps_") + info->test_suite_name() + "_" + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return std::filesystem::temp_directory_path() / (name + suffix);
}

// ---- components

const char* const kDecoders[] = {
    "mjpeg",     "h263",      "svq1",      "svq3",      "mpeg4",     "mpeg1video",
    "mpeg2video", "mp2",      "mp3",       "aac",       "wmv1",      "wmv2",
    "wmav1",     "wmav2",     "pcm_s16le", "pcm_s16be", "pcm_u8",    "pcm_s8",
    "pcm_s24le", "pcm_s32le", "pcm_f32le", "pcm_alaw",  "pcm_mulaw", "adpcm_ima_qt",
    "adpcm_ima_wav", "adpcm_ms"};
const char* const kEncoders[] = {"h263", "svq1", "adpcm_ima_qt", "pcm_s16le"};
// Demuxers by the names FFmpeg gives them ("mpeg" is the MPEG program stream).
const char* const kDemuxers[] = {"avi", "mov", "mpeg", "mpegvideo", "asf", "mp3", "wav"};

TEST(FfmpegComponents, EveryDecoderWeUseIsThere) {
  for (const char* name : kDecoders) {
    const AVCodec* codec = avcodec_find_decoder_by_name(name);
    EXPECT_NE(codec, nullptr) << "no decoder " << name;
    if (codec) {
      EXPECT_TRUE(av_codec_is_decoder(codec)) << name;
    }
  }
}

TEST(FfmpegComponents, EveryEncoderWeUseIsThere) {
  for (const char* name : kEncoders) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    EXPECT_NE(codec, nullptr) << "no encoder " << name;
    if (codec) {
      EXPECT_TRUE(av_codec_is_encoder(codec)) << name;
    }
  }
}

TEST(FfmpegComponents, DemuxersMuxerAndFileProtocolAreThere) {
  for (const char* name : kDemuxers) {
    EXPECT_NE(av_find_input_format(name), nullptr) << "no demuxer " << name;
  }
  const AVOutputFormat* mov = av_guess_format("mov", nullptr, nullptr);
  ASSERT_NE(mov, nullptr);
  EXPECT_STREQ(mov->name, "mov");
  const AVOutputFormat* by_name = av_guess_format(nullptr, "movie.mov", nullptr);
  ASSERT_NE(by_name, nullptr);
  EXPECT_STREQ(by_name->name, "mov");
  const char* protocol = avio_find_protocol_name("file:movie.avi");
  ASSERT_NE(protocol, nullptr);
  EXPECT_STREQ(protocol, "file");
}

TEST(FfmpegComponents, ParsersForTheElementaryStreams) {
  const AVCodecID ids[] = {AV_CODEC_ID_MPEG4, AV_CODEC_ID_H263, AV_CODEC_ID_MPEG1VIDEO,
                           AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MP2, AV_CODEC_ID_MP3,
                           AV_CODEC_ID_AAC, AV_CODEC_ID_MJPEG};
  for (AVCodecID id : ids) {
    AVCodecParserContext* parser = av_parser_init(id);
    EXPECT_NE(parser, nullptr) << "no parser for " << avcodec_get_name(id);
    if (parser) av_parser_close(parser);
  }
}

// ---- video encode and decode

constexpr int kWidth = 176;  // QCIF: a size h263 takes
constexpr int kHeight = 144;
constexpr int kVideoFrames = 7;

// A horizontal/vertical ramp with a bright block that moves by 8 pixels a frame.
void FillPicture(AVFrame* f, int index) {
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(f->format));
  for (int y = 0; y < f->height; ++y) {
    uint8_t* row = f->data[0] + y * f->linesize[0];
    for (int x = 0; x < f->width; ++x) {
      bool block = x >= 16 + 8 * index && x < 48 + 8 * index && y >= 40 && y < 72;
      row[x] = block ? 220 : static_cast<uint8_t>(40 + (x + y) * 140 / (f->width + f->height));
    }
  }
  const int cw = AV_CEIL_RSHIFT(f->width, desc->log2_chroma_w);
  const int ch = AV_CEIL_RSHIFT(f->height, desc->log2_chroma_h);
  for (int plane = 1; plane <= 2; ++plane) {
    for (int y = 0; y < ch; ++y) {
      uint8_t* row = f->data[plane] + y * f->linesize[plane];
      for (int x = 0; x < cw; ++x) {
        row[x] = static_cast<uint8_t>(plane == 1 ? 100 + x * 40 / cw : 150 - y * 40 / ch);
      }
    }
  }
}

FramePtr MakeFrame(AVPixelFormat fmt, int w, int h) {
  FramePtr f(av_frame_alloc());
  f->format = fmt;
  f->width = w;
  f->height = h;
  if (av_frame_get_buffer(f.get(), 0) < 0) return nullptr;
  return f;
}

// Mean absolute difference of the luma planes.
double LumaError(const AVFrame* a, const AVFrame* b) {
  double sum = 0;
  for (int y = 0; y < a->height; ++y) {
    const uint8_t* ra = a->data[0] + y * a->linesize[0];
    const uint8_t* rb = b->data[0] + y * b->linesize[0];
    for (int x = 0; x < a->width; ++x) sum += std::abs(ra[x] - rb[x]);
  }
  return sum / (a->width * a->height);
}

CodecContextPtr OpenVideoEncoder(const char* name, bool global_header) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (!codec) return nullptr;
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  ctx->width = kWidth;
  ctx->height = kHeight;
  ctx->time_base = AVRational{1, 10};
  ctx->framerate = AVRational{10, 1};
  ctx->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
  ctx->gop_size = 3;  // key frames and predicted ones
  ctx->max_b_frames = 0;
  ctx->bit_rate = 1500000;
  if (global_header) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int err = avcodec_open2(ctx.get(), codec, nullptr);
  if (err < 0) {
    ADD_FAILURE() << "cannot open encoder " << name << ": " << AvError(err);
    return nullptr;
  }
  return ctx;
}

// Receives every packet the encoder has ready.
void Drain(AVCodecContext* enc, std::vector<PacketPtr>& out) {
  for (;;) {
    PacketPtr pkt(av_packet_alloc());
    int err = avcodec_receive_packet(enc, pkt.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
    if (err < 0) {
      ADD_FAILURE() << "encoding: " << AvError(err);
      return;
    }
    out.push_back(std::move(pkt));
  }
}

std::vector<PacketPtr> EncodeVideo(AVCodecContext* enc) {
  std::vector<PacketPtr> packets;
  FramePtr frame = MakeFrame(enc->pix_fmt, enc->width, enc->height);
  if (!frame) return packets;
  for (int i = 0; i < kVideoFrames; ++i) {
    EXPECT_GE(av_frame_make_writable(frame.get()), 0);
    FillPicture(frame.get(), i);
    frame->pts = i;
    int err = avcodec_send_frame(enc, frame.get());
    EXPECT_GE(err, 0) << AvError(err);
    Drain(enc, packets);
  }
  avcodec_send_frame(enc, nullptr);
  Drain(enc, packets);
  return packets;
}

CodecContextPtr OpenDecoder(const AVCodecParameters* par) {
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) {
    ADD_FAILURE() << "no decoder for " << avcodec_get_name(par->codec_id);
    return nullptr;
  }
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(ctx.get(), par);
  int err = avcodec_open2(ctx.get(), codec, nullptr);
  if (err < 0) {
    ADD_FAILURE() << "cannot open decoder " << codec->name << ": " << AvError(err);
    return nullptr;
  }
  return ctx;
}

void ReceiveFrames(AVCodecContext* dec, std::vector<FramePtr>& out) {
  for (;;) {
    FramePtr frame(av_frame_alloc());
    int err = avcodec_receive_frame(dec, frame.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return;
    if (err < 0) {
      ADD_FAILURE() << "decoding: " << AvError(err);
      return;
    }
    out.push_back(std::move(frame));
  }
}

std::vector<FramePtr> Decode(AVCodecContext* dec, const std::vector<const AVPacket*>& packets) {
  std::vector<FramePtr> frames;
  for (const AVPacket* pkt : packets) {
    int err = avcodec_send_packet(dec, pkt);
    EXPECT_GE(err, 0) << AvError(err);
    ReceiveFrames(dec, frames);
  }
  avcodec_send_packet(dec, nullptr);
  ReceiveFrames(dec, frames);
  return frames;
}

// Every decoded frame has the encoder's size and format and is close to its source picture.
void ExpectPictures(const std::vector<FramePtr>& frames, AVPixelFormat fmt) {
  ASSERT_EQ(frames.size(), static_cast<size_t>(kVideoFrames));
  FramePtr reference = MakeFrame(fmt, kWidth, kHeight);
  ASSERT_TRUE(reference);
  for (int i = 0; i < kVideoFrames; ++i) {
    const AVFrame* f = frames[i].get();
    ASSERT_EQ(f->width, kWidth);
    ASSERT_EQ(f->height, kHeight);
    ASSERT_EQ(f->format, fmt) << av_get_pix_fmt_name(static_cast<AVPixelFormat>(f->format));
    FillPicture(reference.get(), i);
    // About 0.3 to 0.5 here; a frame out of order or a lost update of the moving block
    // costs more than 3.
    EXPECT_LT(LumaError(f, reference.get()), 1.5) << "frame " << i;
  }
}

class VideoRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(VideoRoundTrip, EncodedFramesDecodeBackToThePictures) {
  CodecContextPtr enc = OpenVideoEncoder(GetParam(), false);
  ASSERT_TRUE(enc);
  std::vector<PacketPtr> packets = EncodeVideo(enc.get());
  ASSERT_EQ(packets.size(), static_cast<size_t>(kVideoFrames));
  EXPECT_TRUE(packets[0]->flags & AV_PKT_FLAG_KEY);
  int predicted = 0;
  std::vector<const AVPacket*> raw;
  for (const auto& p : packets) {
    predicted += !(p->flags & AV_PKT_FLAG_KEY);
    raw.push_back(p.get());
  }
  EXPECT_GT(predicted, 0) << "no predicted frames: inter coding went untested";

  CodecParametersPtr par(avcodec_parameters_alloc());
  ASSERT_GE(avcodec_parameters_from_context(par.get(), enc.get()), 0);
  CodecContextPtr dec = OpenDecoder(par.get());
  ASSERT_TRUE(dec);
  ExpectPictures(Decode(dec.get(), raw), enc->pix_fmt);
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, VideoRoundTrip, ::testing::Values("h263", "svq1"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

// ---- audio encode and decode

constexpr int kSampleRate = 22050;
constexpr int kAudioSamples = 4410;  // 0.2 s
constexpr double kAmplitude = 8000;
constexpr double kPi = 3.14159265358979323846;

int16_t Tone(int i) {
  return static_cast<int16_t>(std::lround(kAmplitude * std::sin(2 * kPi * 440.0 * i / kSampleRate)));
}

CodecContextPtr OpenAudioEncoder(const char* name, bool global_header) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (!codec) return nullptr;
  CodecContextPtr ctx(avcodec_alloc_context3(codec));
  ctx->sample_rate = kSampleRate;
  ctx->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  av_channel_layout_default(&ctx->ch_layout, 1);
  ctx->time_base = AVRational{1, kSampleRate};
  if (global_header) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int err = avcodec_open2(ctx.get(), codec, nullptr);
  if (err < 0) {
    ADD_FAILURE() << "cannot open encoder " << name << ": " << AvError(err);
    return nullptr;
  }
  return ctx;
}

// Mono 16-bit samples: packed and planar are laid out alike.
std::vector<PacketPtr> EncodeAudio(AVCodecContext* enc) {
  std::vector<PacketPtr> packets;
  const int chunk = enc->frame_size > 0 ? enc->frame_size : 512;
  FramePtr frame(av_frame_alloc());
  for (int done = 0; done < kAudioSamples; done += chunk) {
    const int n = std::min(chunk, kAudioSamples - done);
    // A short last frame is only for encoders that take one: pad it with silence.
    const bool pad = n < chunk && !(enc->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) &&
                     !(enc->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    av_frame_unref(frame.get());
    frame->format = enc->sample_fmt;
    frame->nb_samples = pad ? chunk : n;
    frame->sample_rate = kSampleRate;
    av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
      ADD_FAILURE() << "no audio frame";
      return packets;
    }
    auto* samples = reinterpret_cast<int16_t*>(frame->data[0]);
    for (int i = 0; i < frame->nb_samples; ++i) samples[i] = i < n ? Tone(done + i) : 0;
    frame->pts = done;
    int err = avcodec_send_frame(enc, frame.get());
    EXPECT_GE(err, 0) << AvError(err);
    Drain(enc, packets);
  }
  avcodec_send_frame(enc, nullptr);
  Drain(enc, packets);
  return packets;
}

std::vector<int16_t> Samples(const std::vector<FramePtr>& frames) {
  std::vector<int16_t> out;
  for (const auto& f : frames) {
    EXPECT_EQ(f->ch_layout.nb_channels, 1);
    EXPECT_TRUE(f->format == AV_SAMPLE_FMT_S16 || f->format == AV_SAMPLE_FMT_S16P)
        << av_get_sample_fmt_name(static_cast<AVSampleFormat>(f->format));
    const auto* s = reinterpret_cast<const int16_t*>(f->data[0]);
    out.insert(out.end(), s, s + f->nb_samples);
  }
  return out;
}

// Root mean square difference between the tone and what came back.
double ToneError(const std::vector<int16_t>& samples) {
  double sum = 0;
  for (int i = 0; i < kAudioSamples; ++i) {
    double d = samples[i] - Tone(i);
    sum += d * d;
  }
  return std::sqrt(sum / kAudioSamples);
}

struct AudioCase {
  const char* encoder;
  double max_error;  // root mean square, in sample units (the tone's is about 5657; IMA
                     // ADPCM comes back within about 150)
};

void PrintTo(const AudioCase& c, std::ostream* os) { *os << c.encoder; }

class AudioRoundTrip : public ::testing::TestWithParam<AudioCase> {};

TEST_P(AudioRoundTrip, EncodedToneDecodesBack) {
  CodecContextPtr enc = OpenAudioEncoder(GetParam().encoder, false);
  ASSERT_TRUE(enc);
  std::vector<PacketPtr> packets = EncodeAudio(enc.get());
  ASSERT_FALSE(packets.empty());
  std::vector<const AVPacket*> raw;
  for (const auto& p : packets) raw.push_back(p.get());

  CodecParametersPtr par(avcodec_parameters_alloc());
  ASSERT_GE(avcodec_parameters_from_context(par.get(), enc.get()), 0);
  CodecContextPtr dec = OpenDecoder(par.get());
  ASSERT_TRUE(dec);
  std::vector<int16_t> samples = Samples(Decode(dec.get(), raw));
  ASSERT_GE(samples.size(), static_cast<size_t>(kAudioSamples));
  EXPECT_LE(ToneError(samples), GetParam().max_error);
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, AudioRoundTrip,
                         ::testing::Values(AudioCase{"pcm_s16le", 0.0},
                                           AudioCase{"adpcm_ima_qt", 250.0}),
                         [](const ::testing::TestParamInfo<AudioCase>& info) {
                           return std::string(info.param.encoder);
                         });

// ---- the mov muxer, the demuxer and the file protocol

TEST(FfmpegMovFile, WrittenMovieReadsBackWithItsStreams) {
  const std::filesystem::path path = TempFile(".mov");
  const std::string name = path.string();
  std::filesystem::remove(path);

  {
    AVFormatContext* oc = nullptr;
    ASSERT_GE(avformat_alloc_output_context2(&oc, nullptr, "mov", name.c_str()), 0);
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> out(
        oc, [](AVFormatContext* c) {
          avio_closep(&c->pb);
          avformat_free_context(c);
        });
    const bool global = oc->oformat->flags & AVFMT_GLOBALHEADER;
    CodecContextPtr venc = OpenVideoEncoder("h263", global);
    CodecContextPtr aenc = OpenAudioEncoder("adpcm_ima_qt", global);
    ASSERT_TRUE(venc && aenc);
    AVStream* vs = avformat_new_stream(oc, nullptr);
    AVStream* as = avformat_new_stream(oc, nullptr);
    ASSERT_TRUE(vs && as);
    ASSERT_GE(avcodec_parameters_from_context(vs->codecpar, venc.get()), 0);
    ASSERT_GE(avcodec_parameters_from_context(as->codecpar, aenc.get()), 0);
    vs->time_base = venc->time_base;
    as->time_base = aenc->time_base;
    int err = avio_open(&oc->pb, name.c_str(), AVIO_FLAG_WRITE);
    ASSERT_GE(err, 0) << name << ": " << AvError(err);
    err = avformat_write_header(oc, nullptr);
    ASSERT_GE(err, 0) << AvError(err);

    std::vector<PacketPtr> video = EncodeVideo(venc.get());
    std::vector<PacketPtr> audio = EncodeAudio(aenc.get());
    ASSERT_EQ(video.size(), static_cast<size_t>(kVideoFrames));
    for (auto& p : video) {
      p->stream_index = vs->index;
      // One frame long: without a duration the last frame falls outside the movie's edit list.
      if (p->duration == 0) p->duration = 1;
      av_packet_rescale_ts(p.get(), venc->time_base, vs->time_base);
      ASSERT_GE(av_interleaved_write_frame(oc, p.get()), 0);
    }
    for (auto& p : audio) {
      p->stream_index = as->index;
      av_packet_rescale_ts(p.get(), aenc->time_base, as->time_base);
      ASSERT_GE(av_interleaved_write_frame(oc, p.get()), 0);
    }
    ASSERT_GE(av_write_trailer(oc), 0);
  }

  AVFormatContext* ic = nullptr;
  int err = avformat_open_input(&ic, name.c_str(), nullptr, nullptr);
  ASSERT_GE(err, 0) << name << ": " << AvError(err);
  InputPtr in(ic);
  EXPECT_TRUE(av_match_name("mov", ic->iformat->name)) << ic->iformat->name;
  ASSERT_GE(avformat_find_stream_info(ic, nullptr), 0);
  ASSERT_EQ(ic->nb_streams, 2u);
  const int vi = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const int ai = av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  ASSERT_GE(vi, 0);
  ASSERT_GE(ai, 0);
  const AVCodecParameters* vpar = ic->streams[vi]->codecpar;
  const AVCodecParameters* apar = ic->streams[ai]->codecpar;
  EXPECT_EQ(vpar->codec_id, AV_CODEC_ID_H263);
  EXPECT_EQ(vpar->width, kWidth);
  EXPECT_EQ(vpar->height, kHeight);
  EXPECT_EQ(apar->codec_id, AV_CODEC_ID_ADPCM_IMA_QT);
  EXPECT_EQ(apar->sample_rate, kSampleRate);
  EXPECT_EQ(apar->ch_layout.nb_channels, 1);

  std::vector<PacketPtr> video;
  std::vector<PacketPtr> audio;
  for (;;) {
    PacketPtr pkt(av_packet_alloc());
    err = av_read_frame(ic, pkt.get());
    if (err == AVERROR_EOF) break;
    ASSERT_GE(err, 0) << AvError(err);
    (pkt->stream_index == vi ? video : audio).push_back(std::move(pkt));
  }
  ASSERT_EQ(video.size(), static_cast<size_t>(kVideoFrames));
  std::vector<const AVPacket*> vraw;
  for (const auto& p : video) vraw.push_back(p.get());
  CodecContextPtr vdec = OpenDecoder(vpar);
  ASSERT_TRUE(vdec);
  ExpectPictures(Decode(vdec.get(), vraw), AV_PIX_FMT_YUV420P);

  std::vector<const AVPacket*> araw;
  for (const auto& p : audio) araw.push_back(p.get());
  CodecContextPtr adec = OpenDecoder(apar);
  ASSERT_TRUE(adec);
  std::vector<int16_t> samples = Samples(Decode(adec.get(), araw));
  ASSERT_GE(samples.size(), static_cast<size_t>(kAudioSamples));
  EXPECT_LE(ToneError(samples), 250.0);

  in.reset();
  std::filesystem::remove(path);
}

// ---- conversions

TEST(FfmpegConvert, SwscaleTurnsRedYuvIntoRgb565Red) {
  FramePtr src = MakeFrame(AV_PIX_FMT_YUV420P, 32, 16);
  ASSERT_TRUE(src);
  // Pure red in limited-range BT.601.
  for (int p = 0; p < 3; ++p) {
    const int h = p ? 8 : 16;
    const uint8_t value = p == 0 ? 81 : p == 1 ? 90 : 240;
    for (int y = 0; y < h; ++y) std::fill_n(src->data[p] + y * src->linesize[p], p ? 16 : 32, value);
  }
  SwsContext* sws = sws_getContext(32, 16, AV_PIX_FMT_YUV420P, 32, 16, AV_PIX_FMT_RGB565LE,
                                   SWS_POINT, nullptr, nullptr, nullptr);
  ASSERT_NE(sws, nullptr);
  std::vector<uint16_t> rgb(32 * 16, 0x5555);
  uint8_t* dst[1] = {reinterpret_cast<uint8_t*>(rgb.data())};
  int dst_stride[1] = {32 * 2};
  EXPECT_EQ(sws_scale(sws, src->data, src->linesize, 0, 16, dst, dst_stride), 16);
  sws_freeContext(sws);
  for (uint16_t px : rgb) {
    const int r = px >> 11, g = (px >> 5) & 63, b = px & 31;
    ASSERT_GE(r, 29);
    ASSERT_LE(g, 3);
    ASSERT_LE(b, 2);
  }
}

TEST(FfmpegConvert, SwresampleHalvesTheRateAndMixesToMono) {
  AVChannelLayout stereo, mono;
  av_channel_layout_default(&stereo, 2);
  av_channel_layout_default(&mono, 1);
  SwrContext* swr = nullptr;
  ASSERT_GE(swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_S16, kSampleRate / 2, &stereo,
                                AV_SAMPLE_FMT_S16, kSampleRate, 0, nullptr),
            0);
  std::unique_ptr<SwrContext*, void (*)(SwrContext**)> guard(&swr, swr_free);
  ASSERT_GE(swr_init(swr), 0);

  std::vector<int16_t> in(2 * kAudioSamples);
  for (int i = 0; i < kAudioSamples; ++i) in[2 * i] = in[2 * i + 1] = Tone(i);
  std::vector<int16_t> out(kAudioSamples);
  const uint8_t* in_planes[1] = {reinterpret_cast<const uint8_t*>(in.data())};
  uint8_t* out_planes[1] = {reinterpret_cast<uint8_t*>(out.data())};
  int got = swr_convert(swr, out_planes, kAudioSamples, in_planes, kAudioSamples);
  ASSERT_GE(got, 0);
  uint8_t* rest[1] = {reinterpret_cast<uint8_t*>(out.data() + got)};
  int tail = swr_convert(swr, rest, kAudioSamples - got, nullptr, 0);
  ASSERT_GE(tail, 0);
  got += tail;
  EXPECT_NEAR(got, kAudioSamples / 2, 4);
  int peak = 0;
  for (int i = 0; i < got; ++i) peak = std::max(peak, std::abs(int(out[i])));
  // The same tone on both channels comes out at about its own level.
  EXPECT_GT(peak, 0.6 * kAmplitude);
  EXPECT_LT(peak, 1.1 * kAmplitude);
}

// ---- pugixml

TEST(Pugixml, ParsesAttributesTextAndPaths) {
  const char* xml =
      u8"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      u8"<library version=\"2\">\n"
      u8"  <item id=\"7\" kind=\"video\"><title>Caf\u00e9 &amp; tea</title></item>\n"
      u8"  <item id=\"9\" kind=\"audio\"><title>Night</title></item>\n"
      u8"</library>\n";
  pugi::xml_document doc;
  pugi::xml_parse_result result = doc.load_string(xml);
  ASSERT_TRUE(result) << result.description();
  pugi::xml_node library = doc.child("library");
  EXPECT_EQ(library.attribute("version").as_int(), 2);
  int items = 0;
  for (pugi::xml_node item : library.children("item")) {
    ++items;
    EXPECT_GT(item.attribute("id").as_int(), 0);
  }
  EXPECT_EQ(items, 2);
  pugi::xml_node first = library.find_child_by_attribute("item", "id", "7");
  EXPECT_STREQ(first.child_value("title"), u8"Caf\u00e9 & tea");
  pugi::xpath_node audio = doc.select_node("/library/item[@kind='audio']/title");
  ASSERT_TRUE(audio);
  EXPECT_STREQ(audio.node().child_value(), "Night");
}

TEST(Pugixml, ReportsWhereABrokenDocumentFails) {
  const std::string xml = "<library><item></library>";
  pugi::xml_document doc;
  pugi::xml_parse_result result = doc.load_string(xml.c_str());
  EXPECT_FALSE(result);
  EXPECT_EQ(result.status, pugi::status_end_element_mismatch);
  EXPECT_GT(result.offset, 0);
  EXPECT_LE(result.offset, static_cast<ptrdiff_t>(xml.size()));
}

TEST(Pugixml, SavedDocumentParsesBackTheSame) {
  pugi::xml_document doc;
  pugi::xml_node list = doc.append_child("playlist");
  list.append_attribute("name") = "Road <trip>";
  for (int i = 0; i < 3; ++i) list.append_child("entry").append_attribute("n") = i;
  struct Writer : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override {
      text.append(static_cast<const char*>(data), size);
    }
  } writer;
  doc.save(writer, "", pugi::format_raw);
  EXPECT_NE(writer.text.find("Road &lt;trip"), std::string::npos) << writer.text;

  pugi::xml_document back;
  ASSERT_TRUE(back.load_string(writer.text.c_str()));
  EXPECT_STREQ(back.child("playlist").attribute("name").value(), "Road <trip>");
  EXPECT_EQ(back.child("playlist").last_child().attribute("n").as_int(), 2);
}

}  // namespace
