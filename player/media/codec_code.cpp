#include "player/media/codec_code.h"

namespace crv {

uint32_t NormaliseCodecCode(const char* chars) {
  if (!chars) return 0;
  uint8_t code[4];
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = static_cast<uint8_t>(chars[i]);
    code[i] = c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 'a' + 'A') : c;
  }
  return Le32(code);
}

CodecKind CodecKindOf(uint32_t code) {
  switch (code) {
    case 0: return CodecKind::kUncompressed;
    case FourCc("RAW "): return CodecKind::kRaw;
    case FourCc("RLE "): return CodecKind::kQtRle;
    case FourCc("RPZA"): return CodecKind::kRpza;
    case FourCc("CVID"): return CodecKind::kCinepak;
    case FourCc("CRAM"):
    case FourCc("MSVC"):
    case FourCc("WHAM"): return CodecKind::kMsVideo1;
    case FourCc("MJPG"):
    case FourCc("JPEG"): return CodecKind::kMjpeg;
    case FourCc("SVQ1"):
    case FourCc("H263"):
    case FourCc("MP4V"): return CodecKind::kCodecsDll;
    case FourCc("SVQ3"): return CodecKind::kCodecs3Dll;
    default: return CodecKind::kUnknown;
  }
}

}  // namespace crv
