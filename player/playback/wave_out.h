// The wave-out engine through which the AVI and QuickTime sources play their sound: a ring of
// at most 16 buffers, each holding exactly one video frame's sound, so the number of buffers
// already played tells which frame is audible. Driven by polling from the playback loop before
// every decoded frame (no callback, no thread): Feed queues every buffer the device has marked
// done. Without a device, or when the device refuses the format, everything here does nothing
// and the video plays silently. User-interface thread only.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <vector>

#include "player/playback/wave_math.h"

namespace crv {

// Puts the sound of video frame `frame` into `data` (room for `capacity` bytes) and returns the
// number of bytes to play, at most `capacity`.
using WaveFill = uint32_t (*)(void* context, int frame, uint8_t* data, uint32_t capacity);

class WaveOut {
 public:
  WaveOut() = default;
  WaveOut(const WaveOut&) = delete;
  WaveOut& operator=(const WaveOut&) = delete;
  ~WaveOut() { Close(); }

  // Prepares the device for one playback of `frameCount` frames with `capacity` bytes of sound
  // per frame. Does nothing while a device is open, when there is no device, or when the
  // device refuses; a failed preparation leaves the engine unprepared (silent).
  void Open(const WAVEFORMATEX& format, int frameCount, uint32_t capacity);
  // Fills and queues the done buffers, starting with the frame of the audio counter; returns
  // how many were written. `currentFrame` is the frame about to be decoded (streaming limit).
  int Feed(int currentFrame, WaveFill fill, void* context);
  // Discards the queued sound (every buffer becomes done).
  void Reset();
  // Clamps to 0..100 and sets the device volume; the percentage is kept only when the device
  // took it. No device: false.
  bool SetVolume(int percent);
  // The stored volume, or 0 while muted. No device: false.
  bool ApplyVolume();
  void Close();

  bool HasDevice() const { return device_ != nullptr; }
  bool IsPrepared() const { return prepared_; }
  HWAVEOUT Device() const { return device_; }
  int BufferCount() const { return ring_.bufferCount; }
  uint32_t Capacity() const { return capacity_; }
  int RingIndex() const { return ring_.index; }
  int AudioCounter() const { return ring_.audioCounter; }
  // Where a source continues after Reset (rewind, pause, redraw-only steps).
  void SetAudioCounter(int frame) { ring_.audioCounter = frame; }
  // Buffers whose sound has been played (or never queued).
  int DoneBuffers() const;
  // The header of ring buffer i (its data follows it in the same block).
  const WAVEHDR* Buffer(int i) const { return buffers_[i]; }

  // Streaming: sound may not run more than 16 frames ahead of the decoded frame.
  void SetStreaming(bool on) { streaming_ = on; }
  // Set when playback restarts or resumes with the engine still prepared: the next Feed
  // discards what is queued and refills and writes every buffer at once.
  void SetRefillMark(bool on) { refill_ = on; }
  bool RefillMark() const { return refill_; }
  // Set when the audio counter wrapped past the last frame (the sound has all been queued).
  bool SoundWrapped() const { return wrapped_; }
  void ClearSoundWrapped() { wrapped_ = false; }

  int Volume() const { return volume_; }
  void SetStoredVolume(int percent) { volume_ = ClampVolumePercent(percent); }
  bool Mute() const { return mute_; }
  void SetMute(bool on) { mute_ = on; }

 private:
  bool WriteBuffer(WAVEHDR* header, WaveFill fill, void* context);
  bool SetDeviceVolume(uint32_t word);

  HWAVEOUT device_ = nullptr;
  bool prepared_ = false;
  uint32_t capacity_ = 0;
  std::vector<WAVEHDR*> buffers_;  // each one block: header, then the data
  int preparedCount_ = 0;
  WaveRing ring_;
  bool streaming_ = false;
  bool refill_ = false;
  bool wrapped_ = false;
  int volume_ = 75;
  bool mute_ = false;
};

// The engine of the process.
WaveOut& TheWaveOut();

}  // namespace crv
