// Without a screen there is nobody to tell: the last notice is kept for the tests.
#include <string>

#include "player/media/frame_buffer.h"
#include "player/media/frame_buffer_notice_native.h"

namespace crv {

namespace {
FrameBufferNotice lastNotice;
int noticeCount = 0;
}  // namespace

void ShowFrameBufferFailure(const char16_t* text, const char16_t* caption) {
  lastNotice.text = text;
  lastNotice.caption = caption;
  ++noticeCount;
}

FrameBufferNotice LastFrameBufferNotice() { return lastNotice; }
int FrameBufferNoticeCount() { return noticeCount; }

}  // namespace crv
