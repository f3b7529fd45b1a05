// The codec layer between the AVI and QuickTime sources and the decoders: chosen once per
// opened stream by its compression code, it decodes each frame into the 16-bit 5-6-5 frame
// buffer (top-down) or, while a frame is captured for a record, into bottom-up 24-bit
// blue-green-red pixels. Its own decoders cover uncompressed, "RAW ", "RLE ", "RPZA", "CVID",
// "CRAM" and "MJPG"; "SVQ1", "H263", "MP4V" go to "codecs.dll" and "SVQ3" to "codecs3.dll".
//
// One stream at a time: the player keeps one process-wide instance (ProcessCodecLayer) used
// only from the playback loop.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>
#include "player/media/codec_code.h"
#include "player/media/codec_library.h"
#include "player/media/decoders/mjpeg.h"
#include "player/media/decoders/video_decoders.h"

namespace crv {

class CodecLayer {
 public:
  // Sizes beyond this are refused at set-up.
  static constexpr int kMaxSide = 4096;

  explicit CodecLayer(CodecLibraryLoader& loader = SystemCodecLibraryLoader());
  ~CodecLayer();
  CodecLayer(const CodecLayer&) = delete;
  CodecLayer& operator=(const CodecLayer&) = delete;

  // Prepares for a stream: `code` is the stream's four code characters (null or four zero
  // bytes: uncompressed), `depth` its stored bits per pixel, `palette` its 256 colours
  // (0x00RRGGBB) and `palette565` their 16-bit form (derived when null and depth is 8). A
  // library codec may change the size (to what it decodes). Unknown codes are accepted and
  // fail at the first frame. 1 ready, 0 failed. Whatever an earlier stream held is released.
  // An uncompressed stream may give a negative height: its rows are stored top-down, and the
  // height comes back positive.
  int Setup(const char* code, int* width, int* height, int depth, const uint32_t* palette,
            const uint16_t* palette565);

  // Decodes one frame into a packed buffer of width x height pixels (2 bytes each, top-down,
  // or with `bgr24` 3 bytes each, bottom-up). 1 decoded, 0 failed.
  int Decode(const void* data, size_t size, void* out, bool bgr24);
  // The same into `out_size` bytes whose rows are `stride` bytes apart (0: packed).
  int DecodeInto(const void* data, size_t size, void* out, size_t out_size, size_t stride, bool bgr24);

  // Playback starts or rewinds: Cinepak starts over with a fresh context and picture.
  void Reset();
  // Frees what the current code holds and forgets it.
  void Teardown();

  uint32_t Code() const { return code_; }
  CodecKind Kind() const { return kind_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  const uint16_t* Palette565() const { return palette565_.data(); }
  bool LibraryLoaded() const { return library_ != nullptr; }
  const CinepakDecoder* Cinepak() const { return cinepak_.get(); }

 private:
  bool LoadCodecLibrary(const char16_t* name, int* width, int* height);
  void ReleaseLibrary();
  bool DecodeOwn(const uint8_t* data, size_t size, const PixelTarget& target);
  bool DecodeWithLibrary(const uint8_t* data, size_t size, const PixelTarget& target);

  CodecLibraryLoader& loader_;
  bool active_ = false;
  bool top_down_ = false;  // uncompressed rows stored top-down (negative height)
  uint32_t code_ = 0;
  CodecKind kind_ = CodecKind::kUnknown;
  int width_ = 0, height_ = 0, depth_ = 0;
  std::vector<uint32_t> palette_;
  std::vector<uint16_t> palette565_;
  std::unique_ptr<CinepakDecoder> cinepak_;
  MjpegDecoder mjpeg_;
  void* library_ = nullptr;
  CodecLibraryEntries entries_;
  std::vector<uint8_t> library_picture_;
};

// ((c & 0xF80000) >> 8) | ((c & 0xFC00) >> 5) | ((c & 0xF8) >> 3) for each entry.
void DerivePalette565(const uint32_t* palette, uint16_t* out, int count);

CodecLayer& ProcessCodecLayer();

}  // namespace crv
