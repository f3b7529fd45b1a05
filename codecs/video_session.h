// One decoder of the codec libraries: a libavcodec video decoder chosen by its four-character
// code that turns each compressed frame into packed 5-6-5 or 24-bit (blue, green, red)
// top-down pixels of the size the caller asks for. Platform-free; the DLL entries wrap one
// process-wide session.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
#include "player/base/bytes.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace crv {

// Results of the entries: 0 is success, anything else a refusal or failure.
enum CodecResult : int {
  kCodecOk = 0,
  kCodecUnknownCode = 1,
  kCodecBadSize = 2,
  kCodecNoDecoder = 3,
  kCodecNotReady = 4,
  kCodecBadInput = 5,
  kCodecNoPicture = 6,
};

class VideoSession {
 public:
  // Frames larger than this on either side are refused (the player never shows more).
  static constexpr int kMaxSide = 4096;

  VideoSession() = default;
  ~VideoSession() { Finish(); }
  VideoSession(const VideoSession&) = delete;
  VideoSession& operator=(const VideoSession&) = delete;

  // `codec_id` is libavcodec's id for the code. A session that is open is finished first.
  int Init(int codec_id, int width, int height);
  // Decodes one compressed frame into `out` (width x height packed pixels, 2 or 3 bytes).
  // On any failure `out` is left as it was.
  int Decode(const void* data, int size, void* out, int width, int height, bool bgr24);
  void Finish();
  bool Open() const { return context_ != nullptr; }

 private:
  bool Convert(const AVFrame* frame, uint8_t* out, int width, int height, bool bgr24);

  AVCodecContext* context_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;
  std::vector<uint8_t> input_;    // the frame's bytes followed by libavcodec's zero padding
  std::vector<uint8_t> picture_;  // converted rows, stride aligned for libswscale
};

}  // namespace crv
