// Four-character compression codes as the codec layer sees them.
#pragma once
#include <cstdint>

namespace crv {

// The code's characters as a little-endian word ("CVID" -> 'C' | 'V' << 8 | ...).
constexpr uint32_t FourCc(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}

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
