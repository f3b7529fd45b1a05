// The atom reader's sound decoders: "raw " (8-bit offset binary re-centred and widened, or
// 16-bit big-endian) and "ima4" (34-byte blocks of 64 samples of one channel), always to 16-bit
// signed samples of the first channel only.
#pragma once
#include <cstdint>
#include <vector>
#include "player/media/qt_samples.h"

namespace crv {

// Frames of interleaved 8-bit offset-binary / 16-bit big-endian PCM: the first channel.
void QtDecodeRaw8(const uint8_t* data, uint32_t frames, uint32_t channels, int16_t* out);
void QtDecodeRaw16(const uint8_t* data, uint32_t frames, uint32_t channels, int16_t* out);

struct QtImaState {
  int32_t predictor = 0;
  int32_t step_index = 0;
};
// One 34-byte block. Its header carries the predictor's top nine bits and the step index; when
// the step index is the one the previous block ended with and the header's predictor is within
// 127 of the running one, the running (full precision) predictor goes on.
void QtDecodeIma4Block(const uint8_t* block, QtImaState* state, int16_t* out);

// The first sound track of a movie, read and decoded by position in audio frames.
class QtAudioTrack {
 public:
  // False when the compression's bytes cannot be counted or the tables disagree.
  bool Open(ByteSource* source, const QtTrack& track);
  bool Decodable() const { return decodable_; }  // "raw " or "ima4"
  uint64_t Length() const { return frames_; }
  uint32_t Channels() const { return desc_.channels; }
  uint32_t SampleRate() const { return desc_.sample_rate; }
  uint32_t Bits() const { return desc_.bits; }
  uint32_t Compression() const { return desc_.format; }
  uint64_t Position() const { return position_; }
  void SetPosition(uint64_t frame) { position_ = frame; }
  // Up to `count` samples from the position on, which advances; past the end (or where the
  // file cannot be read) the rest of `out` is silence. The samples decoded.
  uint32_t Decode(int16_t* out, uint32_t count);

 private:
  bool LoadBlock(uint64_t frame);

  ByteSource* source_ = nullptr;
  QtSampleDescription desc_;
  QtAudioPacking packing_;
  std::vector<QtChunk> chunks_;
  uint64_t frames_ = 0;
  uint64_t position_ = 0;
  bool decodable_ = false;
  // The decoded block around the position: frames [block_first_, block_first_ + block_.size()).
  std::vector<int16_t> block_;
  uint64_t block_first_ = 0;
  std::vector<uint8_t> bytes_;
  QtImaState ima_;
  uint64_t ima_next_ = UINT64_MAX;  // the frame after the last block decoded, for the state
};

}  // namespace crv
