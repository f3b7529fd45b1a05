// Without a screen there is nobody to tell: the last notice is kept for the tests.
#include <string>

#include "player/playback/frame_buffer.h"
#include "player/playback/frame_buffer_notice_native.h"

namespace crv {

namespace {
FrameBufferNotice g_last;
int g_count = 0;
}  // namespace

void ShowFrameBufferFailure(const char16_t* text, const char16_t* caption) {
  g_last.text = text;
  g_last.caption = caption;
  ++g_count;
}

FrameBufferNotice LastFrameBufferNotice() { return g_last; }
int FrameBufferNoticeCount() { return g_count; }

}  // namespace crv
