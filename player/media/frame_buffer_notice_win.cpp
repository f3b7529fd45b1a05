// The frame buffer's failure notice as the user sees it.
#include <windows.h>

#include "player/media/frame_buffer.h"

namespace crv {

void ShowFrameBufferFailure(const char16_t* text, const char16_t* caption) {
  MessageBoxW(GetActiveWindow(), reinterpret_cast<const wchar_t*>(text),
              reinterpret_cast<const wchar_t*>(caption), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace crv
