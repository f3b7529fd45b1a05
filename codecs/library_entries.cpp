#include "codecs/library_entries.h"

#include "codecs/video_session.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

// One stream at a time, as the player uses the library.
crv::VideoSession& Session() {
  static crv::VideoSession session;
  return session;
}

}  // namespace

extern "C" int init(uint32_t code, int width, int height) {
  // The player has no console: damaged frames would only spend time on messages.
  av_log_set_level(AV_LOG_QUIET);
  const int decoder = crv::LibraryDecoderFor(code);
  if (decoder == 0) {
    Session().Finish();
    return crv::kCodecUnknownCode;
  }
  return Session().Init(decoder, width, height);
}

extern "C" int finish(uint32_t) {
  Session().Finish();
  return crv::kCodecOk;
}

extern "C" int decode(const void* data, int size, void* out, int width, int height, int bgr24) {
  return Session().Decode(data, size, out, width, height, bgr24 != 0);
}
