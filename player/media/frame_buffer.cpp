#include "player/media/frame_buffer.h"

#include <cstdlib>

namespace crv {

const char16_t kFrameBufferFailureText[] = u"MPEG initialization failed";
const char16_t kFrameBufferFailureCaption[] = u"Error";

bool FrameBuffer::Allocate(int width, int height) {
  std::free(pixels_);
  pixels_ = nullptr;
  bytes_ = 0;
  width_ = height_ = 0;
  const int64_t count = int64_t(width) * height;
  if (width > 0 && height > 0 && count <= kMaxPixels) {
    const size_t bytes = static_cast<size_t>(count) * (mode24_ ? 3 : 2);
    pixels_ = std::malloc(bytes);
    if (pixels_) {
      bytes_ = bytes;
      width_ = width;
      height_ = height;
      return true;
    }
  }
  ShowFrameBufferFailure(kFrameBufferFailureText, kFrameBufferFailureCaption);
  return false;
}

void* FrameBuffer::AllocateDecodingBuffer(size_t bytes) {
  void* block = std::malloc(bytes ? bytes : 1);
  if (block) owned_.push_back(block);
  return block;
}

void FrameBuffer::RegisterDecodingBuffer(void** slot) {
  if (!slot) return;
  for (void** s : slots_)
    if (s == slot) return;
  slots_.push_back(slot);
}

void FrameBuffer::FreeBuffers() {
  std::free(pixels_);
  pixels_ = nullptr;
  bytes_ = 0;
  width_ = height_ = 0;
  for (void* block : owned_) std::free(block);
  owned_.clear();
  for (void** slot : slots_) {
    std::free(*slot);
    *slot = nullptr;
  }
  slots_.clear();
}

FrameBuffer& TheFrameBuffer() {
  static FrameBuffer buffer;
  return buffer;
}

}  // namespace crv
