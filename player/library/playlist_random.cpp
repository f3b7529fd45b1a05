#include "player/library/playlist_random.h"

#include <cfloat>
#include <chrono>

namespace crv {

SystemTimeOfDay CurrentSystemTime() {
  using namespace std::chrono;
  // system_clock counts from 1970-01-01 00:00 UTC, and a UTC day has a whole number of
  // hours, so minutes, seconds and milliseconds come straight from the count.
  const long long ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  const long long in_hour = ((ms % 3600000LL) + 3600000LL) % 3600000LL;
  SystemTimeOfDay t;
  t.minute = static_cast<int>(in_hour / 60000);
  t.second = static_cast<int>(in_hour / 1000 % 60);
  t.millisecond = static_cast<int>(in_hour % 1000);
  return t;
}

uint32_t RandomSeed(const SystemTimeOfDay& time) {
  return static_cast<uint32_t>(time.millisecond + 60 * (time.second + 60 * time.minute));
}

int DrawIndex(CrtRandom& random, int count) {
  // Every step is rounded to single precision, as the device computes it. The volatile
  // stores keep a compiler with wider intermediate floats (FLT_EVAL_METHOD != 0) honest.
  static const float kInverseRandMax = 1.0f / 32767.0f;
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD != 0
  volatile float r = static_cast<float>(random.Next());
  volatile float scaled = r * kInverseRandMax;
  volatile float product = scaled * static_cast<float>(count);
#else
  const float r = static_cast<float>(random.Next());
  const float scaled = r * kInverseRandMax;
  const float product = scaled * static_cast<float>(count);
#endif
  return static_cast<int>(product);
}

int DrawOtherIndex(CrtRandom& random, int count, int current, int* draws) {
  int index = 0;
  int made = 0;
  do {
    index = DrawIndex(random, count);
    ++made;
  } while (index == current && made < 100);
  if (draws) *draws = made;
  return index;
}

}  // namespace crv
