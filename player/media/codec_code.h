// Four-character compression codes as the codec layer sees them.
#pragma once
#include <cstdint>
#include "player/base/bytes.h"

namespace crv {

// Turns "a"-"z" upper case and reads the four characters as a little-endian word; 0 means
// uncompressed. A null pointer reads as 0.
uint32_t NormaliseCodecCode(const char* chars);

enum class CodecKind {
  kUncompressed,
  kRaw,         // "RAW "
  kQtRle,       // "RLE "
  kRpza,        // "RPZA"
  kCinepak,     // "CVID"
  kMsVideo1,    // "CRAM", also "MSVC" and "WHAM" as real files carry it
  kMjpeg,       // "MJPG", "JPEG"
  kCodecsDll,   // "SVQ1", "H263", "MP4V"
  kCodecs3Dll,  // "SVQ3"
  kUnknown,     // accepted at set-up, fails at the first frame
};

CodecKind CodecKindOf(uint32_t normalised);

}  // namespace crv
