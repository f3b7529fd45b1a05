// Native builds only: what the frame buffer's failure notice would have shown.
#pragma once
#include <string>

namespace crv {

struct FrameBufferNotice {
  std::u16string text;
  std::u16string caption;
};

FrameBufferNotice LastFrameBufferNotice();
int FrameBufferNoticeCount();

}  // namespace crv
