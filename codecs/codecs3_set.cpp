// "codecs3.dll": Sorenson Video 3.
#include "codecs/library_entries.h"
#include "codecs/video_session.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

int crv::LibraryDecoderFor(uint32_t code) {
  return code == FourCc("SVQ3") ? AV_CODEC_ID_SVQ3 : AV_CODEC_ID_NONE;
}
