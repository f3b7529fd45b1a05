// "codecs.dll": Sorenson Video 1, H.263 and MPEG-4 Visual.
#include "codecs/library_entries.h"
#include "codecs/video_session.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

int crv::LibraryDecoderFor(uint32_t code) {
  switch (code) {
    case FourCc("SVQ1"): return AV_CODEC_ID_SVQ1;
    case FourCc("H263"): return AV_CODEC_ID_H263;
    case FourCc("MP4V"): return AV_CODEC_ID_MPEG4;
    default: return AV_CODEC_ID_NONE;
  }
}
