// The sound device of the MPEG library: 16-bit PCM played through a few buffers, written by
// the decoding thread (which waits while they are all queued) and asked for its position by the
// presenting thread. Windows plays through waveOut (mpeg_sound_win.cpp).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace crv::mpeg {

class PcmOutput {
 public:
  virtual ~PcmOutput() = default;
  // Opens the device for interleaved 16-bit samples; false when there is no device for them.
  virtual bool Open(int rate, int channels) = 0;
  // Queues the samples; waits while every buffer is queued. False when `cancel` turned true.
  virtual bool Write(const int16_t* samples, size_t frames, const std::atomic<bool>& cancel) = 0;
  // Queues the part-filled buffer (the end of the stream).
  virtual void Flush() = 0;
  // Sample frames the device has played, and queued, since Open or Reset.
  virtual int64_t PlayedFrames() = 0;
  virtual int64_t QueuedFrames() = 0;
  virtual void Pause(bool on) = 0;
  // Drops everything queued; the counts start again at 0. Only while nobody writes.
  virtual void Reset() = 0;
  // Level 0..1; mute plays silence.
  virtual void SetVolume(double level, bool mute) = 0;
  virtual void Close() = 0;
};

// The platform's device (waveOut on Windows).
std::unique_ptr<PcmOutput> MakeSystemPcmOutput();

}  // namespace crv::mpeg
