// The codec libraries as the player uses them: loaded by bare name from the program's folder,
// driven through "init", "decode" and "finish", their pictures set against libavcodec's own
// decoding of the same frames (which this program encodes itself with libavcodec).
#include <windows.h>

#include "player/media/codec_layer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

namespace {

constexpr uint32_t Word(const char (&c)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(c[0])) | static_cast<uint32_t>(static_cast<uint8_t>(c[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(c[3])) << 24;
}

using Packet = std::vector<uint8_t>;

// Plain 8-bit planes of one decoded picture.
struct Yuv {
  int width = 0, height = 0;
  int shift_x = 1, shift_y = 1;  // chroma subsampling (4:2:0 or SVQ1's 4:1:0)
  std::vector<uint8_t> y, u, v;
  int ChromaWidth() const { return -((-width) >> shift_x); }
  int ChromaHeight() const { return -((-height) >> shift_y); }
};

Yuv Planes(const AVFrame* f) {
  Yuv pic;
  pic.width = f->width;
  pic.height = f->height;
  av_pix_fmt_get_chroma_sub_sample(static_cast<AVPixelFormat>(f->format), &pic.shift_x, &pic.shift_y);
  return pic;
}

struct Library {
  HMODULE module = nullptr;
  int (*init)(uint32_t, int, int) = nullptr;
  int (*finish)(uint32_t) = nullptr;
  int (*decode)(const void*, int, void*, int, int, int) = nullptr;

  explicit Library(const wchar_t* name) {
    module = LoadLibraryW(name);
    if (!module) return;
    init = reinterpret_cast<decltype(init)>(reinterpret_cast<void*>(GetProcAddress(module, "init")));
    finish = reinterpret_cast<decltype(finish)>(reinterpret_cast<void*>(GetProcAddress(module, "finish")));
    decode = reinterpret_cast<decltype(decode)>(reinterpret_cast<void*>(GetProcAddress(module, "decode")));
  }
  ~Library() {
    if (module) FreeLibrary(module);
  }
  bool Ready() const { return module && init && finish && decode; }
};

// The video samples of a movie beside this program (written by the ffmpeg program at build
// time); empty when there is none.
std::vector<Packet> MovieSamples(const wchar_t* name, AVCodecID* id) {
  std::vector<Packet> packets;
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring file(path, n);
  file = file.substr(0, file.find_last_of(L"\\/") + 1) + name;
  char utf8[MAX_PATH * 3];
  if (!WideCharToMultiByte(CP_UTF8, 0, file.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr)) return packets;
  AVFormatContext* movie = nullptr;
  if (avformat_open_input(&movie, utf8, nullptr, nullptr) < 0) return packets;
  if (avformat_find_stream_info(movie, nullptr) >= 0) {
    const int video = av_find_best_stream(movie, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0) *id = movie->streams[video]->codecpar->codec_id;
    AVPacket* p = av_packet_alloc();
    while (video >= 0 && av_read_frame(movie, p) >= 0) {
      if (p->stream_index == video) packets.emplace_back(p->data, p->data + p->size);
      av_packet_unref(p);
    }
    av_packet_free(&p);
  }
  avformat_close_input(&movie);
  return packets;
}

// A moving picture with edges and colour so that every plane and motion matter.
void Paint(AVFrame* f, int t) {
  for (int y = 0; y < f->height; ++y)
    for (int x = 0; x < f->width; ++x) {
      const bool box = x >= 20 + 3 * t && x < 60 + 3 * t && y >= 30 + t && y < 70 + t;
      f->data[0][y * f->linesize[0] + x] = static_cast<uint8_t>(box ? 220 : (x * 2 + y + t * 4) & 0xFF);
    }
  const Yuv shape = Planes(f);
  for (int y = 0; y < shape.ChromaHeight(); ++y)
    for (int x = 0; x < shape.ChromaWidth(); ++x) {
      f->data[1][y * f->linesize[1] + x] = static_cast<uint8_t>(64 + x + t);
      f->data[2][y * f->linesize[2] + x] = static_cast<uint8_t>(192 - y - t);
    }
}

std::vector<Packet> Encode(AVCodecID id, int width, int height, int frames) {
  std::vector<Packet> packets;
  const AVCodec* codec = avcodec_find_encoder(id);
  if (!codec) return packets;
  AVCodecContext* c = avcodec_alloc_context3(codec);
  c->width = width;
  c->height = height;
  c->pix_fmt = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
  c->time_base = AVRational{1, 15};
  c->gop_size = 5;
  c->max_b_frames = 0;
  c->bit_rate = 400000;
  if (avcodec_open2(c, codec, nullptr) < 0) {
    avcodec_free_context(&c);
    return packets;
  }
  AVFrame* f = av_frame_alloc();
  f->format = c->pix_fmt;
  f->width = width;
  f->height = height;
  av_frame_get_buffer(f, 0);
  AVPacket* p = av_packet_alloc();
  auto drain = [&] {
    while (avcodec_receive_packet(c, p) >= 0) {
      packets.emplace_back(p->data, p->data + p->size);
      av_packet_unref(p);
    }
  };
  for (int t = 0; t < frames; ++t) {
    av_frame_make_writable(f);
    Paint(f, t);
    f->pts = t;
    avcodec_send_frame(c, f);
    drain();
  }
  avcodec_send_frame(c, nullptr);
  drain();
  av_packet_free(&p);
  av_frame_free(&f);
  avcodec_free_context(&c);
  return packets;
}

// libavcodec's pictures of the packets, one per packet (none where it gives none).
std::vector<Yuv> ReferenceDecode(AVCodecID id, const std::vector<Packet>& packets) {
  std::vector<Yuv> out;
  const AVCodec* codec = avcodec_find_decoder(id);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  c->thread_count = 1;
  avcodec_open2(c, codec, nullptr);
  AVFrame* f = av_frame_alloc();
  AVPacket* p = av_packet_alloc();
  for (const Packet& data : packets) {
    std::vector<uint8_t> padded(data);
    padded.resize(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    p->data = padded.data();
    p->size = static_cast<int>(data.size());
    avcodec_send_packet(c, p);
    Yuv pic;
    while (avcodec_receive_frame(c, f) >= 0) {
      pic = Planes(f);
      const int cw = pic.ChromaWidth(), ch = pic.ChromaHeight();
      pic.y.resize(static_cast<size_t>(f->width) * f->height);
      pic.u.resize(static_cast<size_t>(cw) * ch);
      pic.v.resize(pic.u.size());
      for (int y = 0; y < f->height; ++y) std::memcpy(&pic.y[y * f->width], f->data[0] + y * f->linesize[0], f->width);
      for (int y = 0; y < ch; ++y) {
        std::memcpy(&pic.u[y * cw], f->data[1] + y * f->linesize[1], cw);
        std::memcpy(&pic.v[y * cw], f->data[2] + y * f->linesize[2], cw);
      }
      av_frame_unref(f);
    }
    out.push_back(pic);
  }
  av_packet_free(&p);
  av_frame_free(&f);
  avcodec_free_context(&c);
  return out;
}

uint8_t Clamp(double v) { return static_cast<uint8_t>(std::min(255.0, std::max(0.0, v + 0.5))); }

// The top-left width x height of a picture as blue, green, red rows (ITU-R BT.601, video range).
std::vector<uint8_t> ToBgr(const Yuv& pic, int width, int height) {
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * 3);
  const int cw = pic.ChromaWidth();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double l = 1.164 * (pic.y[y * pic.width + x] - 16);
      const size_t at = static_cast<size_t>(y >> pic.shift_y) * cw + (x >> pic.shift_x);
      const double u = pic.u[at] - 128, v = pic.v[at] - 128;
      uint8_t* px = &out[(static_cast<size_t>(y) * width + x) * 3];
      px[0] = Clamp(l + 2.018 * u);
      px[1] = Clamp(l - 0.391 * u - 0.813 * v);
      px[2] = Clamp(l + 1.596 * v);
    }
  return out;
}

// Largest and mean difference of two byte pictures.
struct Difference {
  int largest = 0;
  double mean = 0;
};
Difference Compare(const uint8_t* a, const std::vector<uint8_t>& b) {
  Difference d;
  double sum = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    const int e = std::abs(a[i] - b[i]);
    d.largest = std::max(d.largest, e);
    sum += e;
  }
  d.mean = b.empty() ? 0 : sum / b.size();
  return d;
}

// An output buffer of exactly one frame with guard bytes on either side.
class Guarded {
 public:
  static constexpr size_t kGuard = 4096;
  explicit Guarded(size_t bytes, uint8_t fill = 0x5A) : bytes_(bytes), store_(bytes + 2 * kGuard, fill) {
    std::fill(store_.begin(), store_.begin() + kGuard, 0xA5);
    std::fill(store_.end() - kGuard, store_.end(), 0xA5);
  }
  uint8_t* data() { return store_.data() + kGuard; }
  size_t size() const { return bytes_; }
  bool GuardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i)
      if (store_[i] != 0xA5 || store_[store_.size() - 1 - i] != 0xA5) return false;
    return true;
  }
  std::vector<uint8_t> Contents() const { return {store_.begin() + kGuard, store_.begin() + kGuard + bytes_}; }

 private:
  size_t bytes_;
  std::vector<uint8_t> store_;
};

// Checks every decoded frame against libavcodec, in 24-bit and in 5-6-5 form.
void ExpectFramesMatch(Library& lib, uint32_t code, AVCodecID id, const std::vector<Packet>& packets, int width,
                       int height) {
  const std::vector<Yuv> reference = ReferenceDecode(id, packets);
  ASSERT_EQ(reference.size(), packets.size());
  Guarded bgr(static_cast<size_t>(width) * height * 3);
  Guarded rgb565(static_cast<size_t>(width) * height * 2);
  for (size_t i = 0; i < packets.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "frame " << i);
    ASSERT_GE(reference[i].width, width);
    ASSERT_GE(reference[i].height, height);
    const std::vector<uint8_t> expected = ToBgr(reference[i], width, height);
    ASSERT_EQ(lib.decode(packets[i].data(), static_cast<int>(packets[i].size()), bgr.data(), width, height, 1), 0);
    const Difference d = Compare(bgr.data(), expected);
    EXPECT_LE(d.largest, 8);
    EXPECT_LT(d.mean, 1.5);
    EXPECT_TRUE(bgr.GuardsIntact());
  }
  // Again from the start of the stream in 5-6-5: each channel within two steps.
  ASSERT_EQ(lib.init(code, width, height), 0);
  for (size_t i = 0; i < packets.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "5-6-5 frame " << i);
    const std::vector<uint8_t> expected = ToBgr(reference[i], width, height);
    ASSERT_EQ(lib.decode(packets[i].data(), static_cast<int>(packets[i].size()), rgb565.data(), width, height, 0), 0);
    int worst = 0;
    for (size_t p = 0; p < static_cast<size_t>(width) * height; ++p) {
      const uint16_t w = static_cast<uint16_t>(rgb565.data()[2 * p] | rgb565.data()[2 * p + 1] << 8);
      worst = std::max({worst, std::abs(((w >> 11) & 31) - expected[3 * p + 2] / 8),
                        std::abs(((w >> 5) & 63) - expected[3 * p + 1] / 4), std::abs((w & 31) - expected[3 * p] / 8)});
    }
    EXPECT_LE(worst, 2);
    EXPECT_TRUE(rgb565.GuardsIntact());
  }
}

class CodecLibrariesTest : public testing::Test {
 protected:
  Library codecs_{L"codecs.dll"};
  Library codecs3_{L"codecs3.dll"};
  void SetUp() override {
    av_log_set_level(AV_LOG_FATAL);  // the encoders and damaged frames are talkative
    ASSERT_TRUE(codecs_.Ready()) << "codecs.dll with init, finish and decode";
    ASSERT_TRUE(codecs3_.Ready()) << "codecs3.dll with init, finish and decode";
  }
  void TearDown() override {
    if (codecs_.Ready()) codecs_.finish(0);
    if (codecs3_.Ready()) codecs3_.finish(0);
  }
};

TEST_F(CodecLibrariesTest, H263FramesMatchLibavcodec) {
  const std::vector<Packet> packets = Encode(AV_CODEC_ID_H263, 176, 144, 12);
  ASSERT_EQ(packets.size(), 12u);
  ASSERT_EQ(codecs_.init(Word("H263"), 176, 144), 0);
  ExpectFramesMatch(codecs_, Word("H263"), AV_CODEC_ID_H263, packets, 176, 144);
}

TEST_F(CodecLibrariesTest, Svq1FramesMatchLibavcodec) {
  const std::vector<Packet> packets = Encode(AV_CODEC_ID_SVQ1, 160, 120, 12);
  ASSERT_EQ(packets.size(), 12u);
  ASSERT_EQ(codecs_.init(Word("SVQ1"), 160, 120), 0);
  ExpectFramesMatch(codecs_, Word("SVQ1"), AV_CODEC_ID_SVQ1, packets, 160, 120);
}

// An MPEG-4 movie of the ffmpeg program, its stream headers repeated with each key frame.
TEST_F(CodecLibrariesTest, Mp4vMovieFramesMatchLibavcodec) {
  AVCodecID id = AV_CODEC_ID_NONE;
  const std::vector<Packet> packets = MovieSamples(L"crv_codec_libraries_mp4v.mov", &id);
  if (packets.empty()) GTEST_SKIP() << "no movie of the ffmpeg program beside the test";
  ASSERT_EQ(id, AV_CODEC_ID_MPEG4);
  ASSERT_EQ(packets.size(), 10u);
  ASSERT_EQ(codecs_.init(Word("MP4V"), 176, 144), 0);
  ExpectFramesMatch(codecs_, Word("MP4V"), AV_CODEC_ID_MPEG4, packets, 176, 144);
}

// The player asks for 176 x 144 of a 177 x 145 stream: the library gives its top-left part.
TEST_F(CodecLibrariesTest, OddSizedSvq1StreamGivesItsTopLeft) {
  const std::vector<Packet> packets = Encode(AV_CODEC_ID_SVQ1, 177, 145, 6);
  ASSERT_EQ(packets.size(), 6u);
  ASSERT_EQ(codecs_.init(Word("SVQ1"), 177, 145), 0);
  const std::vector<Yuv> reference = ReferenceDecode(AV_CODEC_ID_SVQ1, packets);
  ASSERT_EQ(reference.at(0).width, 177);
  ASSERT_EQ(reference.at(0).height, 145);
  ExpectFramesMatch(codecs_, Word("SVQ1"), AV_CODEC_ID_SVQ1, packets, 176, 144);
}

// Asked for more than the stream holds, the library stretches the picture over the output.
TEST_F(CodecLibrariesTest, SmallerPictureIsStretchedOverTheOutput) {
  const std::vector<Packet> packets = Encode(AV_CODEC_ID_H263, 176, 144, 1);
  ASSERT_EQ(packets.size(), 1u);
  const std::vector<uint8_t> small = ToBgr(ReferenceDecode(AV_CODEC_ID_H263, packets).at(0), 176, 144);
  ASSERT_EQ(codecs_.init(Word("H263"), 352, 288), 0);
  Guarded out(352 * 288 * 3);
  ASSERT_EQ(codecs_.decode(packets[0].data(), static_cast<int>(packets[0].size()), out.data(), 352, 288, 1), 0);
  EXPECT_TRUE(out.GuardsIntact());
  std::vector<uint8_t> doubled(out.size());
  for (int y = 0; y < 288; ++y)
    for (int x = 0; x < 352; ++x)
      std::memcpy(&doubled[(y * 352 + x) * 3], &small[((y / 2) * 176 + x / 2) * 3], 3);
  EXPECT_LT(Compare(out.data(), doubled).mean, 4.0);
}

// The libraries are 32-bit, as the device's process that loads them is.
TEST_F(CodecLibrariesTest, LibrariesAreBuiltForTheDevice) {
  ASSERT_EQ(4u, sizeof(void*));
  for (HMODULE module : {codecs_.module, codecs3_.module}) {
    ASSERT_NE(nullptr, module);
    const auto* base = reinterpret_cast<const uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt->FileHeader.Machine);
  }
}

TEST_F(CodecLibrariesTest, EachLibraryTakesItsOwnCodesAndSaneSizes) {
  for (const char* code : {"SVQ1", "H263", "MP4V"}) {
    SCOPED_TRACE(code);
    char c[5] = {code[0], code[1], code[2], code[3], 0};
    const uint32_t w = static_cast<uint32_t>(c[0]) | c[1] << 8 | c[2] << 16 | static_cast<uint32_t>(c[3]) << 24;
    EXPECT_EQ(codecs_.init(w, 176, 144), 0);
    EXPECT_NE(codecs3_.init(w, 176, 144), 0);
  }
  EXPECT_EQ(codecs3_.init(Word("SVQ3"), 176, 144), 0);
  EXPECT_NE(codecs_.init(Word("SVQ3"), 176, 144), 0);
  for (uint32_t other : {Word("CVID"), Word("MJPG"), Word("svq1"), 0u, 0xFFFFFFFFu}) {
    EXPECT_NE(codecs_.init(other, 176, 144), 0);
    EXPECT_NE(codecs3_.init(other, 176, 144), 0);
  }
  const int sizes[][2] = {{0, 144}, {176, 0}, {-176, 144}, {176, -144}, {100000, 144}, {176, INT_MAX}, {INT_MIN, INT_MIN}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(testing::Message() << s[0] << " x " << s[1]);
    EXPECT_NE(codecs_.init(Word("H263"), s[0], s[1]), 0);
    EXPECT_NE(codecs3_.init(Word("SVQ3"), s[0], s[1]), 0);
  }
}

// Garbage, truncated and damaged frames fail or decode, but never write outside the frame,
// and a good key frame afterwards decodes again.
TEST_F(CodecLibrariesTest, DamagedFramesStayInsideTheBuffer) {
  std::mt19937 random(7);
  const std::vector<Packet> h263 = Encode(AV_CODEC_ID_H263, 176, 144, 6);
  const std::vector<Packet> svq1 = Encode(AV_CODEC_ID_SVQ1, 160, 120, 6);
  ASSERT_FALSE(h263.empty());
  ASSERT_FALSE(svq1.empty());
  struct Case {
    Library* lib;
    uint32_t code;
    const std::vector<Packet>* good;
  };
  const std::vector<Packet> none;
  for (const Case& c : {Case{&codecs_, Word("H263"), &h263}, Case{&codecs_, Word("SVQ1"), &svq1},
                        Case{&codecs_, Word("MP4V"), &none}, Case{&codecs3_, Word("SVQ3"), &none}}) {
    SCOPED_TRACE(testing::Message() << std::string(reinterpret_cast<const char*>(&c.code), 4));
    const int width = c.good == &svq1 ? 160 : 176, height = c.good == &svq1 ? 120 : 144;
    ASSERT_EQ(c.lib->init(c.code, width, height), 0);
    Guarded out(static_cast<size_t>(width) * height * 3);
    std::vector<Packet> bad;
    for (int n = 0; n < 20; ++n) {
      Packet p(1 + random() % 3000);
      for (auto& b : p) b = static_cast<uint8_t>(random());
      bad.push_back(p);
    }
    for (const Packet& g : *c.good) {
      bad.emplace_back(g.begin(), g.begin() + g.size() / 3);  // truncated
      Packet flipped(g);
      for (int n = 0; n < 8; ++n) flipped[random() % flipped.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
      bad.push_back(flipped);
    }
    bad.push_back(Packet(4, 0));
    for (const Packet& p : bad) {
      c.lib->decode(p.data(), static_cast<int>(p.size()), out.data(), width, height, 1);
      c.lib->decode(p.data(), static_cast<int>(p.size()), out.data(), width, height, 0);
      ASSERT_TRUE(out.GuardsIntact());
    }
    const std::vector<uint8_t> before = out.Contents();
    EXPECT_NE(c.lib->decode(nullptr, 100, out.data(), width, height, 1), 0);
    EXPECT_NE(c.lib->decode(bad[0].data(), 0, out.data(), width, height, 1), 0);
    EXPECT_NE(c.lib->decode(bad[0].data(), -5, out.data(), width, height, 1), 0);
    EXPECT_NE(c.lib->decode(bad[0].data(), 10, nullptr, width, height, 1), 0);
    EXPECT_NE(c.lib->decode(bad[0].data(), 10, out.data(), 0, height, 1), 0);
    EXPECT_EQ(out.Contents(), before);
    if (!c.good->empty()) {
      ASSERT_EQ(c.lib->init(c.code, width, height), 0);
      EXPECT_EQ(c.lib->decode(c.good->front().data(), static_cast<int>(c.good->front().size()), out.data(), width,
                              height, 1),
                0);
    }
    EXPECT_TRUE(out.GuardsIntact());
  }
}

// After "finish" nothing decodes and the output is left alone; a new "init" starts afresh,
// also after the library was released and loaded again.
TEST_F(CodecLibrariesTest, FinishReleasesTheDecoder) {
  const std::vector<Packet> packets = Encode(AV_CODEC_ID_H263, 176, 144, 3);
  ASSERT_FALSE(packets.empty());
  const Packet& key = packets.front();
  Guarded out(176 * 144 * 2);
  EXPECT_NE(codecs_.decode(key.data(), static_cast<int>(key.size()), out.data(), 176, 144, 0), 0)
      << "nothing decodes before init";
  ASSERT_EQ(codecs_.init(Word("H263"), 176, 144), 0);
  ASSERT_EQ(codecs_.decode(key.data(), static_cast<int>(key.size()), out.data(), 176, 144, 0), 0);
  EXPECT_EQ(codecs_.finish(Word("H263")), 0);
  EXPECT_EQ(codecs_.finish(Word("H263")), 0) << "a second finish is harmless";
  Guarded untouched(176 * 144 * 2);
  EXPECT_NE(codecs_.decode(key.data(), static_cast<int>(key.size()), untouched.data(), 176, 144, 0), 0);
  EXPECT_EQ(untouched.Contents(), std::vector<uint8_t>(176 * 144 * 2, 0x5A));
  // A refused init leaves no decoder behind either.
  ASSERT_EQ(codecs_.init(Word("H263"), 176, 144), 0);
  EXPECT_NE(codecs_.init(Word("CVID"), 176, 144), 0);
  EXPECT_NE(codecs_.decode(key.data(), static_cast<int>(key.size()), untouched.data(), 176, 144, 0), 0);
  // The player releases and loads the library again for each stream.
  for (int round = 0; round < 5; ++round) {
    Library again(L"codecs.dll");
    ASSERT_TRUE(again.Ready());
    ASSERT_EQ(again.init(Word("H263"), 176, 144), 0);
    EXPECT_EQ(again.decode(key.data(), static_cast<int>(key.size()), out.data(), 176, 144, 0), 0);
    again.finish(Word("H263"));
  }
  EXPECT_TRUE(out.GuardsIntact());
}

// The player's codec layer over the real libraries: "init" accepted, the size rounded, and
// 24-bit frames stored bottom-up.
TEST_F(CodecLibrariesTest, PlayerCodecLayerUsesTheLibraries) {
  const std::vector<Packet> packets = Encode(AV_CODEC_ID_SVQ1, 177, 145, 2);
  ASSERT_EQ(packets.size(), 2u);
  crv::CodecLayer layer;
  int width = 177, height = 145;
  ASSERT_EQ(layer.Setup("svq1", &width, &height, 24, nullptr, nullptr), 1);
  EXPECT_EQ(width, 176);
  EXPECT_EQ(height, 144);
  EXPECT_TRUE(layer.LibraryLoaded());
  std::vector<uint8_t> frame(176 * 144 * 3);
  ASSERT_EQ(layer.Decode(packets[0].data(), packets[0].size(), frame.data(), true), 1);
  const std::vector<uint8_t> expected = ToBgr(ReferenceDecode(AV_CODEC_ID_SVQ1, packets)[0], 176, 144);
  std::vector<uint8_t> top_down(frame.size());
  for (int y = 0; y < 144; ++y) std::memcpy(&top_down[y * 176 * 3], &frame[(143 - y) * 176 * 3], 176 * 3);
  EXPECT_LE(Compare(top_down.data(), expected).largest, 8);

  width = 176, height = 144;
  EXPECT_EQ(layer.Setup("SVQ3", &width, &height, 24, nullptr, nullptr), 1);
  EXPECT_TRUE(layer.LibraryLoaded());
  layer.Teardown();
  EXPECT_FALSE(layer.LibraryLoaded());
  EXPECT_EQ(layer.Decode(packets[0].data(), packets[0].size(), frame.data(), true), 0);
}

}  // namespace
