#include "player/media/qt_audio.h"

#include <algorithm>
#include <cstring>

namespace crv {

namespace {

const int16_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int8_t kImaIndex[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

int16_t ImaNibble(QtImaState* s, int nibble) {
  const int step = kImaSteps[s->step_index];
  int diff = step >> 3;
  if (nibble & 4) diff += step;
  if (nibble & 2) diff += step >> 1;
  if (nibble & 1) diff += step >> 2;
  const int predictor = (nibble & 8) ? s->predictor - diff : s->predictor + diff;
  s->predictor = std::clamp(predictor, -32768, 32767);
  s->step_index = std::clamp(s->step_index + kImaIndex[nibble], 0, 88);
  return static_cast<int16_t>(s->predictor);
}

// Raw PCM is decoded in runs of this many frames.
constexpr uint32_t kRawRun = 1024;

}  // namespace

void QtDecodeRaw8(const uint8_t* data, uint32_t frames, uint32_t channels, int16_t* out) {
  for (uint32_t i = 0; i < frames; ++i) out[i] = static_cast<int16_t>((data[i * channels] - 128) * 256);
}

void QtDecodeRaw16(const uint8_t* data, uint32_t frames, uint32_t channels, int16_t* out) {
  for (uint32_t i = 0; i < frames; ++i) out[i] = static_cast<int16_t>(Be16(data + i * channels * 2));
}

void QtDecodeIma4Block(const uint8_t* block, QtImaState* state, int16_t* out) {
  const int header = static_cast<int16_t>(Be16(block));
  const int step_index = std::min(header & 0x7F, 88);
  const int predictor = header & ~0x7F;
  const int drift = predictor - state->predictor;
  if (state->step_index != step_index || drift > 0x7F || drift < -0x7F) {
    state->step_index = step_index;
    state->predictor = predictor;
  }
  for (int i = 0; i < 32; ++i) {
    out[2 * i] = ImaNibble(state, block[2 + i] & 0x0F);
    out[2 * i + 1] = ImaNibble(state, block[2 + i] >> 4);
  }
}

bool QtAudioTrack::Open(ByteSource* source, const QtTrack& track) {
  source_ = source;
  if (track.descriptions.empty()) return false;
  desc_ = track.descriptions[0];
  if (!QtAudioPackingOf(desc_, &packing_)) return false;
  decodable_ = desc_.format == QtType("ima4") || desc_.format == QtType("raw ");
  return QtBuildAudioChunks(track.tables, packing_, &chunks_, &frames_);
}

// Decodes the block (an "ima4" packet or a run of raw frames) holding `frame` into block_.
bool QtAudioTrack::LoadBlock(uint64_t frame) {
  block_.clear();
  auto it = std::upper_bound(chunks_.begin(), chunks_.end(), frame,
                             [](uint64_t f, const QtChunk& c) { return f < c.first; });
  if (it == chunks_.begin()) return false;
  const QtChunk& chunk = *--it;
  if (frame - chunk.first >= chunk.count) return false;
  const uint32_t per_block = desc_.format == QtType("ima4") ? 64 : kRawRun;
  const uint64_t in_chunk = (frame - chunk.first) / per_block * per_block;
  const uint32_t frames = static_cast<uint32_t>(std::min<uint64_t>(per_block, chunk.count - in_chunk));
  const uint64_t packets = frames / packing_.frames_per_packet;
  const uint64_t offset = chunk.offset + in_chunk / packing_.frames_per_packet * packing_.bytes_per_packet;
  const uint32_t bytes = static_cast<uint32_t>(packets * packing_.bytes_per_packet);
  bytes_.resize(bytes);
  if (offset < chunk.offset || !source_->ReadExactly(offset, bytes_.data(), bytes)) return false;
  block_.resize(frames);
  block_first_ = chunk.first + in_chunk;
  if (desc_.format == QtType("ima4")) {
    // The running state is only meaningful when this block follows the last one decoded.
    if (block_first_ != ima_next_) ima_ = QtImaState();
    QtDecodeIma4Block(bytes_.data(), &ima_, block_.data());
    ima_next_ = block_first_ + 64;
  } else if (desc_.bits == 8) {
    QtDecodeRaw8(bytes_.data(), frames, desc_.channels, block_.data());
  } else {
    QtDecodeRaw16(bytes_.data(), frames, desc_.channels, block_.data());
  }
  return true;
}

uint32_t QtAudioTrack::Decode(int16_t* out, uint32_t count) {
  uint32_t done = 0;
  while (decodable_ && done < count && position_ < frames_) {
    if (block_.empty() || position_ < block_first_ || position_ >= block_first_ + block_.size()) {
      if (!LoadBlock(position_)) break;
    }
    const uint32_t at = static_cast<uint32_t>(position_ - block_first_);
    const uint32_t n = std::min<uint32_t>(count - done, static_cast<uint32_t>(block_.size()) - at);
    std::memcpy(out + done, block_.data() + at, n * sizeof(int16_t));
    done += n;
    position_ += n;
  }
  std::fill(out + done, out + count, int16_t{0});
  return done;
}

}  // namespace crv
