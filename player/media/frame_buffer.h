// The process-wide video frame buffer that every decoder writes into and the display output
// shows: width x height 16-bit 5-6-5 pixels, top row first, or width x height x 3 bytes while a
// source renders 24-bit frames for capture. The decoders' other working buffers can be
// registered here too, so that one FreeBuffers at the end of a video releases everything.
// Platform-free; one video at a time, user-interface thread only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace crv {

// The message shown when the frame buffer cannot be had.
extern const char16_t kFrameBufferFailureText[];   // "MPEG initialization failed"
extern const char16_t kFrameBufferFailureCaption[];  // "Error"

// Shows the failure message: a message box with the exclamation icon on Windows
// (frame_buffer_notice_win.cpp); natively it is only remembered (frame_buffer_notice_native.cpp).
void ShowFrameBufferFailure(const char16_t* text, const char16_t* caption);

class FrameBuffer {
 public:
  // Larger frames than this are refused without asking the heap (also keeps the byte count
  // far from overflowing).
  static constexpr int64_t kMaxPixels = int64_t(8192) * 8192;

  FrameBuffer() = default;
  FrameBuffer(const FrameBuffer&) = delete;
  FrameBuffer& operator=(const FrameBuffer&) = delete;
  ~FrameBuffer() { FreeBuffers(); }

  // width x height x 2 bytes (x 3 in 24-bit mode). A buffer held from before is released
  // first. Failure shows the failure message and leaves no frame buffer.
  bool Allocate(int width, int height);

  void Set24BitMode(bool on) { mode24_ = on; }
  bool Is24BitMode() const { return mode24_; }

  uint16_t* Pixels() const { return static_cast<uint16_t*>(pixels_); }
  uint8_t* Bytes() const { return static_cast<uint8_t*>(pixels_); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  size_t SizeInBytes() const { return bytes_; }

  // A decoder's working buffer (uninitialised), kept until FreeBuffers. Null on failure.
  void* AllocateDecodingBuffer(size_t bytes);
  // Registers a heap block (std::malloc) whose pointer lives in `*slot`: FreeBuffers frees it
  // and clears the slot.
  void RegisterDecodingBuffer(void** slot);

  // Frees the frame buffer and every decoding buffer, and clears their pointers.
  void FreeBuffers();

 private:
  void* pixels_ = nullptr;
  size_t bytes_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool mode24_ = false;
  std::vector<void*> owned_;
  std::vector<void**> slots_;
};

// The one frame buffer of the process.
FrameBuffer& TheFrameBuffer();

}  // namespace crv
