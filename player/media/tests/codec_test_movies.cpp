#include "player/media/tests/codec_test_movies.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "player/base/bytes.h"
#include "player/media/codec_layer.h"
#include "player/media/decoders/pixel_target.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

namespace crv::test {

namespace {

// The folder lives as long as the process and goes with everything in it.
struct TempDir {
  std::string path;
  TempDir() {
    char templ[] = "/tmp/crv_codec_movies_XXXXXX";
    if (const char* made = mkdtemp(templ)) path = made;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

}  // namespace

std::string MovieDir() {
  static const TempDir dir;
  return dir.path.empty() ? std::string("/tmp") : dir.path;
}

std::string WriteMovie(const std::string& name, const std::string& args) {
  const std::string path = MovieDir() + "/" + name;
  const std::string command = "ffmpeg -nostdin -v error -y " + args + " '" + path + "' > /dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return "";
  return path;
}

bool ReadMovie(const std::string& path, Movie* movie) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
  bool ok = avformat_find_stream_info(format, nullptr) >= 0;
  const int index = ok ? av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
  if (index >= 0) {
    const AVCodecParameters* par = format->streams[index]->codecpar;
    for (int i = 0; i < 4; ++i) movie->code[i] = static_cast<char>((par->codec_tag >> (8 * i)) & 0xFF);
    movie->width = par->width;
    movie->height = par->height;
    movie->depth = par->bits_per_coded_sample;
    movie->codec = par->codec_id;
    movie->extradata.assign(par->extradata, par->extradata + par->extradata_size);
    // libavformat marks bottom-up AVI bitmaps with "BottomUp" at the end of the extradata.
    const bool marked = par->extradata_size >= 9 &&
                        std::memcmp(par->extradata + par->extradata_size - 9, "BottomUp", 9) == 0;
    movie->top_down = par->codec_id == AV_CODEC_ID_RAWVIDEO && par->codec_tag == 0 && !marked;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
      if (packet->stream_index == index) {
        size_t side_size = 0;
        const uint8_t* side = av_packet_get_side_data(packet, AV_PKT_DATA_PALETTE, &side_size);
        if (side && side_size >= 1024 && movie->palette.empty()) {
          movie->palette.resize(256);
          std::memcpy(movie->palette.data(), side, 1024);
          for (uint32_t& c : movie->palette) c &= 0xFFFFFF;
        }
        movie->packets.emplace_back(packet->data, packet->data + packet->size);
      }
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
  }
  avformat_close_input(&format);
  return ok && index >= 0 && !movie->packets.empty();
}

namespace {

// One libavcodec frame in both of the layer's layouts.
void Convert(const AVFrame* f, bool via565, ReferenceFrames* out) {
  const int w = f->width, h = f->height;
  std::vector<uint8_t> p565(static_cast<size_t>(w) * h * 2), p24(static_cast<size_t>(w) * h * 3);
  PixelTarget t565, t24;
  MakePixelTarget(p565.data(), p565.size(), 0, w, h, PixelForm::kRgb565, &t565);
  MakePixelTarget(p24.data(), p24.size(), 0, w, h, PixelForm::kBgr24, &t24);
  const AVPixelFormat fmt = static_cast<AVPixelFormat>(f->format);
  std::vector<uint8_t> bgr;
  if (fmt == AV_PIX_FMT_YUVJ420P || fmt == AV_PIX_FMT_YUVJ422P || fmt == AV_PIX_FMT_YUVJ444P) {
    // YUV pictures (Motion JPEG): the full-range formulas in floating point, each chroma
    // sample standing for the pixels it covers, as the player's conversion takes it.
    const int stride = w * 3;
    bgr.resize(static_cast<size_t>(stride) * h);
    int shift_x = 0, shift_y = 0;
    if (fmt == AV_PIX_FMT_YUVJ420P) shift_x = shift_y = 1;
    if (fmt == AV_PIX_FMT_YUVJ422P) shift_x = 1;
    auto clamp = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); };
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double luma = f->data[0][y * f->linesize[0] + x];
        const double cb = f->data[1][(y >> shift_y) * f->linesize[1] + (x >> shift_x)] - 128.0;
        const double cr = f->data[2][(y >> shift_y) * f->linesize[2] + (x >> shift_x)] - 128.0;
        uint8_t* p = &bgr[static_cast<size_t>(y) * stride + x * 3];
        p[0] = clamp(luma + 1.772 * cb);
        p[1] = clamp(luma - 0.34414 * cb - 0.71414 * cr);
        p[2] = clamp(luma + 1.402 * cr);
      }
    PutBgrPicture(bgr.data(), stride, t565);
    PutBgrPicture(bgr.data(), stride, t24);
  } else {
    const uint32_t* pal = reinterpret_cast<const uint32_t*>(f->data[1]);
    for (int y = 0; y < h; ++y) {
      const uint8_t* s = f->data[0] + y * f->linesize[0];
      for (int x = 0; x < w; ++x) {
        uint8_t* d565 = t565.Row(y) + x * 2;
        uint8_t* d24 = t24.Row(y) + x * 3;
        unsigned r = 0, g = 0, b = 0;
        switch (fmt) {
          case AV_PIX_FMT_RGB24: r = s[3 * x]; g = s[3 * x + 1]; b = s[3 * x + 2]; break;
          case AV_PIX_FMT_BGR24: b = s[3 * x]; g = s[3 * x + 1]; r = s[3 * x + 2]; break;
          case AV_PIX_FMT_ARGB: r = s[4 * x + 1]; g = s[4 * x + 2]; b = s[4 * x + 3]; break;
          case AV_PIX_FMT_RGB555:
          case AV_PIX_FMT_RGB555BE: {
            const uint16_t c = fmt == AV_PIX_FMT_RGB555 ? Le16(s + 2 * x) : Be16(s + 2 * x);
            Put565::Word(d565, From555(c));
            PutBgr24::Word(d24, From555(c));
            continue;
          }
          case AV_PIX_FMT_PAL8: {
            const uint32_t c = pal[s[x]];
            r = (c >> 16) & 0xFF; g = (c >> 8) & 0xFF; b = c & 0xFF;
            if (via565) {
              Put565::Rgb(d565, r, g, b);
              PutBgr24::Word(d24, Pack565(r, g, b));
              continue;
            }
            break;
          }
          default: break;
        }
        Put565::Rgb(d565, r, g, b);
        PutBgr24::Rgb(d24, r, g, b);
      }
    }
  }
  out->rgb565.push_back(std::move(p565));
  out->bgr24.push_back(std::move(p24));
}

}  // namespace

bool DecodeReference(const Movie& movie, bool palette_via_565, ReferenceFrames* out) {
  const AVCodec* codec = avcodec_find_decoder(movie.codec);
  if (!codec) return false;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->width = movie.width;
  ctx->height = movie.height;
  ctx->bits_per_coded_sample = movie.depth;
  ctx->codec_tag = Le32(reinterpret_cast<const uint8_t*>(movie.code));
  ctx->thread_count = 1;
  if (!movie.extradata.empty()) {
    ctx->extradata = static_cast<uint8_t*>(av_mallocz(movie.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    std::memcpy(ctx->extradata, movie.extradata.data(), movie.extradata.size());
    ctx->extradata_size = static_cast<int>(movie.extradata.size());
  }
  bool ok = avcodec_open2(ctx, codec, nullptr) >= 0;
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  for (size_t i = 0; ok && i < movie.packets.size(); ++i) {
    av_new_packet(pkt, static_cast<int>(movie.packets[i].size()));
    std::memcpy(pkt->data, movie.packets[i].data(), movie.packets[i].size());
    if (i == 0 && !movie.palette.empty()) {
      uint8_t* side = av_packet_new_side_data(pkt, AV_PKT_DATA_PALETTE, 1024);
      for (int k = 0; k < 256; ++k) {
        const uint32_t c = movie.palette[k] | 0xFF000000u;
        std::memcpy(side + 4 * k, &c, 4);
      }
    }
    ok = avcodec_send_packet(ctx, pkt) >= 0 && avcodec_receive_frame(ctx, frame) >= 0;
    if (ok) Convert(frame, palette_via_565, out);
    av_packet_unref(pkt);
    av_frame_unref(frame);
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&ctx);
  return ok;
}

bool ReadAndDecode(const std::string& path, bool palette_via_565, Movie* movie, ReferenceFrames* out) {
  return ReadMovie(path, movie) && DecodeReference(*movie, palette_via_565, out);
}

size_t CountDifferences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) return a.size() > b.size() ? a.size() : b.size();
  size_t n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

Distance FrameDistance(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, bool bgr24) {
  if (a.size() != b.size() || a.empty()) return {255.0, 255};
  std::vector<uint8_t> ea, eb;
  const std::vector<uint8_t>* pa = &a;
  const std::vector<uint8_t>* pb = &b;
  if (!bgr24) {
    for (size_t i = 0; i + 1 < a.size(); i += 2) {
      uint8_t x[3], y[3];
      Expand565(Load16(&a[i]), x);
      Expand565(Load16(&b[i]), y);
      ea.insert(ea.end(), x, x + 3);
      eb.insert(eb.end(), y, y + 3);
    }
    pa = &ea;
    pb = &eb;
  }
  Distance d;
  double sum = 0;
  for (size_t i = 0; i < pa->size(); ++i) {
    const int diff = std::abs(int((*pa)[i]) - int((*pb)[i]));
    sum += diff;
    d.max = std::max(d.max, diff);
  }
  d.mean = sum / static_cast<double>(pa->size());
  return d;
}

bool ReadStreamReference(const std::string& path, StreamReference* ref) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return false;
  bool ok = avformat_find_stream_info(format, nullptr) >= 0;
  const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  int audio = -1;
  for (unsigned i = 0; i < format->nb_streams && audio < 0; ++i)
    if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) audio = static_cast<int>(i);
  AVCodecContext* decoder = nullptr;
  if (audio >= 0) {
    const AVCodecParameters* par = format->streams[audio]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
    ok = ok && decoder && avcodec_parameters_to_context(decoder, par) >= 0 && avcodec_open2(decoder, codec, nullptr) >= 0;
    ref->has_audio = true;
    ref->rate = par->sample_rate;
  }
  if (video >= 0) {
    const AVStream* st = format->streams[video];
    ref->tag = st->codecpar->codec_tag;
    ref->width = st->codecpar->width;
    ref->height = st->codecpar->height;
    ref->time_base = st->time_base;
  }
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto drain = [&] {
    while (avcodec_receive_frame(decoder, frame) >= 0) ok = ok && AppendFirstChannel(frame, &ref->audio);
  };
  while (ok && av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == video) {
      ref->pos.push_back(packet->pos);
      ref->size.push_back(packet->size);
      ref->dts.push_back(packet->dts);
      ref->duration.push_back(packet->duration);
      ref->video_ms.push_back(av_rescale_q(packet->pts, format->streams[video]->time_base, AVRational{1, 1000}));
      size_t side_size = 0;
      const uint8_t* side = av_packet_get_side_data(packet, AV_PKT_DATA_PALETTE, &side_size);
      if (side && side_size >= 1024 && ref->palette.empty()) {
        for (int i = 0; i < 256; ++i) ref->palette.push_back(reinterpret_cast<const uint32_t*>(side)[i] & 0xFFFFFF);
      }
    } else if (packet->stream_index == audio) {
      ok = avcodec_send_packet(decoder, packet) >= 0;
      drain();
    }
    av_packet_unref(packet);
  }
  if (decoder) {
    avcodec_send_packet(decoder, nullptr);
    drain();
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&format);
  return ok;
}

}  // namespace crv::test
