// The random step of Now Playing: the device's C runtime generator (srand/rand), reproduced
// bit for bit so that the same clock gives the same order on every platform, and the draw
// of an entry index from it.
#pragma once
#include <cstdint>
#include <functional>

namespace crv {

// The Microsoft C runtime's rand: state = state * 214013 + 2531011 (mod 2^32), the result
// is bits 16..30 of the new state (0..32767). Seeded with 1 before any Seed call.
class CrtRandom {
 public:
  static constexpr int kRandMax = 32767;
  void Seed(uint32_t seed) { state_ = seed; }
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }

 private:
  uint32_t state_ = 1;
};

// The parts of the current system time (UTC) that the seed is made of.
struct SystemTimeOfDay {
  int minute = 0;       // 0..59
  int second = 0;       // 0..59
  int millisecond = 0;  // 0..999
};

// The system clock now, in UTC.
SystemTimeOfDay CurrentSystemTime();

// The seed: milliseconds + 60 * (seconds + 60 * minutes).
uint32_t RandomSeed(const SystemTimeOfDay& time);

// One draw: truncation toward zero of r * f * count in single precision, r the next rand
// value and f the float nearest to 1/32767. Can be `count` itself when r is 32767 (the
// caller clamps).
int DrawIndex(CrtRandom& random, int count);

// Draws until the index differs from `current`, at most 100 draws; the last draw is taken
// even when it equals `current`. `draws` (optional) receives the number of draws made.
int DrawOtherIndex(CrtRandom& random, int count, int current, int* draws = nullptr);

}  // namespace crv
