// The three entries both codec libraries export, "init", "finish" and "decode"; each library
// says in its own file which codes it decodes.
#pragma once
#include <cstdint>

namespace crv {

// libavcodec's decoder id for a code this library decodes; 0 (no decoder) for any other.
int LibraryDecoderFor(uint32_t code);

}  // namespace crv

extern "C" {
// 0 = ready to decode frames of `code`; anything else = refused.
__declspec(dllexport) int init(uint32_t code, int width, int height);
// Releases the decoder; always 0.
__declspec(dllexport) int finish(uint32_t code);
// 0 = `out` holds the frame (width x height packed top-down pixels, 5-6-5 or with `bgr24`
// blue, green, red); anything else = failed, `out` is as it was.
__declspec(dllexport) int decode(const void* data, int size, void* out, int width, int height, int bgr24);
}
