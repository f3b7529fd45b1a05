#include "player/media/decoders/ycc_to_565.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace crv {

namespace {

// Chroma less 128, times 256, times the coefficient in 1/256, over 65536: the coefficient
// applied, rounded down, exactly as the vector unit's high-half multiply does it.
constexpr int kCrToR = 359;   // 1.402
constexpr int kCbToG = -88;   // -0.34414
constexpr int kCrToG = -183;  // -0.71414
constexpr int kCbToB = 454;   // 1.772

inline int Term(int chroma, int coefficient) { return ((chroma - 128) * 256 * coefficient) >> 16; }

inline int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

inline uint16_t Pixel(int y, int r_term, int g_term, int b_term) {
  const int r = Clamp255(y + r_term), g = Clamp255(y + g_term), b = Clamp255(y + b_term);
  return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

void ScalarFrom(const YccRows& rows, int from, int width) {
  for (int x = from; x < width; ++x) {
    const int c = rows.half_chroma ? x >> 1 : x;
    const int cb = rows.cb[c], cr = rows.cr[c];
    const int r_term = Term(cr, kCrToR), g_term = Term(cb, kCbToG) + Term(cr, kCrToG), b_term = Term(cb, kCbToB);
    for (int i = 0; i < rows.count; ++i) {
      const uint16_t w = Pixel(rows.luma[i][x], r_term, g_term, b_term);
      std::memcpy(rows.out[i] + 2 * x, &w, 2);
    }
  }
}

#if defined(__SSE2__)

// The loop below, written once per shape so that its body is straight-line code with the
// constants and pointers in registers.
template <int kRows, bool kHalfChroma>
int VectorPart(const YccRows& rows, int width) {
  const __m128i zero = _mm_setzero_si128(), centre = _mm_set1_epi16(static_cast<short>(0x8000));
  const __m128i red = _mm_set1_epi16(static_cast<short>(0xF800)), green = _mm_set1_epi16(0x07E0);
  const __m128i cr_to_r = _mm_set1_epi16(kCrToR), cb_to_g = _mm_set1_epi16(kCbToG), cr_to_g = _mm_set1_epi16(kCrToG),
                cb_to_b = _mm_set1_epi16(kCbToB);
  const uint8_t* const cb_row = rows.cb;
  const uint8_t* const cr_row = rows.cr;
  const uint8_t* const luma0 = rows.luma[0];
  const uint8_t* const luma1 = rows.luma[1];
  uint8_t* const out0 = rows.out[0];
  uint8_t* const out1 = rows.out[1];
  // Eight chroma samples for eight pixels, less 128 and times 256, as 16-bit lanes.
  auto chroma = [&](const uint8_t* p) {
    __m128i bytes;
    if (kHalfChroma) {
      int32_t four;
      std::memcpy(&four, p, 4);
      bytes = _mm_cvtsi32_si128(four);
      bytes = _mm_unpacklo_epi8(bytes, bytes);  // each sample twice
    } else {
      bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    }
    return _mm_xor_si128(_mm_unpacklo_epi8(zero, bytes), centre);
  };
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    const int c = kHalfChroma ? x >> 1 : x;
    const __m128i cb = chroma(cb_row + c), cr = chroma(cr_row + c);
    const __m128i r_term = _mm_mulhi_epi16(cr, cr_to_r);
    const __m128i g_term = _mm_add_epi16(_mm_mulhi_epi16(cb, cb_to_g), _mm_mulhi_epi16(cr, cr_to_g));
    const __m128i b_term = _mm_mulhi_epi16(cb, cb_to_b);
    // The saturating packs clamp to 0-255; unpacking above a zero byte puts a channel in the
    // high byte of its word, where red belongs.
    auto row = [&](const uint8_t* luma_row, uint8_t* out_row) {
      const __m128i y = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma_row + x)), zero);
      const __m128i rg = _mm_packus_epi16(_mm_add_epi16(y, r_term), _mm_add_epi16(y, g_term));
      const __m128i b = _mm_packus_epi16(_mm_add_epi16(y, b_term), zero);
      const __m128i r_high = _mm_unpacklo_epi8(zero, rg), g_high = _mm_unpackhi_epi8(zero, rg);
      const __m128i w = _mm_or_si128(_mm_or_si128(_mm_and_si128(r_high, red), _mm_and_si128(_mm_srli_epi16(g_high, 5), green)),
                                     _mm_srli_epi16(_mm_unpacklo_epi8(b, zero), 3));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out_row + 2 * x), w);
    };
    row(luma0, out0);
    if constexpr (kRows == 2) row(luma1, out1);
  }
  return x;
}

int VectorPart(const YccRows& rows, int width) {
  if (rows.count == 2) return rows.half_chroma ? VectorPart<2, true>(rows, width) : VectorPart<2, false>(rows, width);
  return rows.half_chroma ? VectorPart<1, true>(rows, width) : VectorPart<1, false>(rows, width);
}

#endif

}  // namespace

void YccRowsTo565Scalar(const YccRows& rows, int width) { ScalarFrom(rows, 0, width); }

void YccRowsTo565(const YccRows& rows, int width) {
#if defined(__SSE2__)
  ScalarFrom(rows, VectorPart(rows, width), width);
#else
  ScalarFrom(rows, 0, width);
#endif
}

}  // namespace crv
