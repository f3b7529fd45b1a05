// The display optimisation: the handheld's panel shows only the top 4 bits of each colour
// channel, which bands smooth gradients. Right after loading, a picture is reduced to those
// 4 bits by Floyd-Steinberg error diffusion instead, so the panel shows dither, not bands.
#pragma once
#include <cstdint>
#include "player/media/frame_record.h"

namespace crv {

// Reduces every channel value of an 8-bit grey picture (each of its 256 colour-table entries
// i is (i, i, i)) or of a 24-bit picture to a multiple of 16, spreading the rest to the
// neighbours: rows in memory order, alternately left to right and right to left; values in
// fixed point with 22 fractional bits plus the spread error, clamped to
// [255 x 2^14, 255 x 2^22]; the error (value - kept part) / 16 goes with weight 7 to the next
// pixel of the row and 3, 5, 1 to the pixels behind, below and ahead in the next row.
// `pixels` are uncompressed DIB rows padded to 4 bytes (bottom-up, or top-down for a
// negative height); `palette` is the colour table (read for 8 bits only). False, with the
// pixels untouched, for other depths, compressed or empty pictures, a palette that is not
// grey, and when memory for the error rows is lacking.
bool ReduceForDisplay(const RBitmapInfoHeader& info, const RRgbQuad* palette, uint8_t* pixels);

// The same for a loaded picture's record.
bool ReduceForDisplay(tagRDIBIMG& record);

}  // namespace crv
