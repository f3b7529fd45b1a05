#include "player/playback/wave_out.h"

#include <cstdlib>

namespace crv {

namespace {

// The handheld's 32-bit layout: a 32-byte header in front of each buffer's data.
static_assert(sizeof(void*) != 4 || sizeof(WAVEHDR) == 32, "WAVEHDR layout");

// Both channels get the same level: a device with separate channel volumes must not silence
// the right one.
uint32_t BothChannels(uint32_t word) { return (word & 0xFFFFu) | (word << 16); }

}  // namespace

void WaveOut::Open(const WAVEFORMATEX& format, int frameCount, uint32_t capacity) {
  if (device_ || prepared_) return;
  if (waveOutGetNumDevs() == 0) return;
  if (!sndPlaySoundW(nullptr, 0)) return;  // also silences any system sound still playing
  HWAVEOUT device = nullptr;
  if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return;
  device_ = device;
  capacity_ = capacity;

  const int count = WaveBufferCount(frameCount);
  for (int i = 0; i < count; ++i) {
    auto* header = static_cast<WAVEHDR*>(std::calloc(1, sizeof(WAVEHDR) + capacity));
    if (!header) return;
    header->lpData = reinterpret_cast<LPSTR>(header + 1);
    header->dwBufferLength = capacity;
    buffers_.push_back(header);
    if (waveOutPrepareHeader(device_, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return;
    // Done from the start, so the first Feed fills it (set after preparing: preparing may
    // clear the flag).
    header->dwFlags |= WHDR_DONE;
    ++preparedCount_;
  }
  if (count == 0) return;
  ring_.Start(count, frameCount);
  wrapped_ = false;
  refill_ = false;
  prepared_ = true;
  ApplyVolume();
}

bool WaveOut::WriteBuffer(WAVEHDR* header, WaveFill fill, void* context) {
  uint32_t bytes = fill ? fill(context, ring_.audioCounter, reinterpret_cast<uint8_t*>(header->lpData),
                               capacity_)
                        : 0;
  header->dwBufferLength = bytes < capacity_ ? bytes : capacity_;
  const bool written = waveOutWrite(device_, header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
  if (ring_.Advance()) wrapped_ = true;
  return written;
}

int WaveOut::Feed(int currentFrame, WaveFill fill, void* context) {
  if (!device_ || !prepared_) return 0;
  int written = 0;
  if (refill_) {
    refill_ = false;
    waveOutReset(device_);
    ring_.index = 0;
    for (int i = 0; i < ring_.bufferCount; ++i) {
      WriteBuffer(buffers_[ring_.index], fill, context);
      ++written;
    }
    return written;
  }
  // One pass over the ring at most: a write the device refused leaves its buffer marked done,
  // and the loop must not go round for ever.
  while (written < ring_.bufferCount && (buffers_[ring_.index]->dwFlags & WHDR_DONE) &&
         ring_.MayFill(streaming_, currentFrame)) {
    WAVEHDR* header = buffers_[ring_.index];
    ++written;
    if (!WriteBuffer(header, fill, context)) break;
  }
  return written;
}

void WaveOut::Reset() {
  if (device_ && prepared_) waveOutReset(device_);
}

int WaveOut::DoneBuffers() const {
  int done = 0;
  for (int i = 0; i < preparedCount_; ++i)
    if (buffers_[i]->dwFlags & WHDR_DONE) ++done;
  return done;
}

bool WaveOut::SetDeviceVolume(uint32_t word) {
  return waveOutSetVolume(device_, BothChannels(word)) == MMSYSERR_NOERROR;
}

bool WaveOut::SetVolume(int percent) {
  if (!device_) return false;
  const int clamped = ClampVolumePercent(percent);
  if (!SetDeviceVolume(WaveVolumeWord(clamped))) return false;
  volume_ = clamped;
  return true;
}

bool WaveOut::ApplyVolume() {
  if (!device_) return false;
  if (mute_) return SetDeviceVolume(0);
  return SetVolume(volume_);
}

void WaveOut::Close() {
  if (device_) {
    waveOutReset(device_);
    for (int i = 0; i < preparedCount_; ++i) waveOutUnprepareHeader(device_, buffers_[i], sizeof(WAVEHDR));
  }
  for (WAVEHDR* header : buffers_) std::free(header);
  buffers_.clear();
  preparedCount_ = 0;
  if (device_) waveOutClose(device_);
  device_ = nullptr;
  prepared_ = false;
  refill_ = false;
  ring_.Stop();
}

WaveOut& TheWaveOut() {
  static WaveOut engine;
  return engine;
}

}  // namespace crv
