// The MPEG library's sound through waveOut: six buffers of a tenth of a second each, signalled
// through an event when the device is done with one.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <vector>

#include "codecs/mpeg/mpeg_sound.h"

namespace crv::mpeg {

namespace {

constexpr int kBuffers = 6;

class WaveOutPcm final : public PcmOutput {
 public:
  ~WaveOutPcm() override { Close(); }

  bool Open(int rate, int channels) override {
    Close();
    if (rate <= 0 || channels < 1 || channels > 2) return false;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    done_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!done_) return false;
    if (waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done_), 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR) {
      device_ = nullptr;
      Close();
      return false;
    }
    channels_ = channels;
    bufferFrames_ = static_cast<size_t>(std::max(rate / 10, 256));
    for (int i = 0; i < kBuffers; ++i) {
      data_[i].assign(bufferFrames_ * static_cast<size_t>(channels), 0);
      headers_[i] = WAVEHDR{};
      headers_[i].lpData = reinterpret_cast<LPSTR>(data_[i].data());
      headers_[i].dwBufferLength = static_cast<DWORD>(data_[i].size() * sizeof(int16_t));
      if (waveOutPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        Close();
        return false;
      }
      queued_[i] = false;
    }
    current_ = 0;
    filled_ = 0;
    queuedFrames_ = 0;
    ApplyVolume();
    if (paused_) waveOutPause(device_);
    return true;
  }

  bool Write(const int16_t* samples, size_t frames, const std::atomic<bool>& cancel) override {
    if (!device_) return true;  // no device: the sound is dropped
    const int gain = softGain_.load();
    while (frames > 0) {
      if (filled_ == 0 && !WaitForBuffer(current_, cancel)) return false;
      const size_t n = std::min(frames, bufferFrames_ - filled_);
      int16_t* to = data_[current_].data() + filled_ * static_cast<size_t>(channels_);
      const size_t count = n * static_cast<size_t>(channels_);
      if (gain >= 65536) {
        std::copy(samples, samples + count, to);
      } else {
        for (size_t i = 0; i < count; ++i) to[i] = static_cast<int16_t>(samples[i] * gain / 65536);
      }
      filled_ += n;
      samples += count;
      frames -= n;
      if (filled_ == bufferFrames_) Submit();
    }
    return true;
  }

  void Flush() override {
    if (device_ && filled_ > 0) Submit();
  }

  int64_t PlayedFrames() override {
    if (!device_) return 0;
    MMTIME time = {};
    time.wType = TIME_SAMPLES;
    if (waveOutGetPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR) return 0;
    int64_t frames = 0;
    if (time.wType == TIME_SAMPLES) frames = time.u.sample;
    else if (time.wType == TIME_BYTES) frames = time.u.cb / (2 * static_cast<DWORD>(channels_));
    return std::min(frames, queuedFrames_.load());
  }

  int64_t QueuedFrames() override { return queuedFrames_.load(); }

  void Pause(bool on) override {
    paused_ = on;
    if (!device_) return;
    if (on) waveOutPause(device_);
    else waveOutRestart(device_);
  }

  void Reset() override {
    if (!device_) return;
    waveOutReset(device_);
    for (bool& queued : queued_) queued = false;
    current_ = 0;
    filled_ = 0;
    queuedFrames_ = 0;
    // Whether a reset device stays paused differs between drivers: say it again.
    if (paused_) waveOutPause(device_);
    else waveOutRestart(device_);
  }

  void SetVolume(double level, bool mute) override {
    level_ = std::clamp(level, 0.0, 1.0);
    mute_ = mute;
    ApplyVolume();
  }

  void Close() override {
    if (device_) {
      waveOutReset(device_);
      for (WAVEHDR& header : headers_)
        if (header.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device_, &header, sizeof(WAVEHDR));
      waveOutClose(device_);
      device_ = nullptr;
    }
    if (done_) CloseHandle(done_);
    done_ = nullptr;
    queuedFrames_ = 0;
  }

 private:
  // The device's volume when it has one, else the samples are scaled as they are written.
  void ApplyVolume() {
    const int gain = mute_ ? 0 : static_cast<int>(level_ * 65536.0 + 0.5);
    if (device_) {
      const DWORD channel = static_cast<DWORD>(std::min(gain, 0xFFFF));
      if (waveOutSetVolume(device_, channel | (channel << 16)) == MMSYSERR_NOERROR) {
        softGain_ = 65536;
        return;
      }
    }
    softGain_ = gain;
  }

  bool WaitForBuffer(int index, const std::atomic<bool>& cancel) {
    // The device sets WHDR_DONE from its own thread.
    const volatile DWORD& flags = headers_[index].dwFlags;
    while (queued_[index] && !(flags & WHDR_DONE)) {
      if (cancel.load()) return false;
      WaitForSingleObject(done_, 20);
    }
    return true;
  }

  void Submit() {
    WAVEHDR& header = headers_[current_];
    header.dwBufferLength = static_cast<DWORD>(filled_ * static_cast<size_t>(channels_) * sizeof(int16_t));
    header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    queued_[current_] = waveOutWrite(device_, &header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
    if (queued_[current_]) queuedFrames_ += static_cast<int64_t>(filled_);
    current_ = (current_ + 1) % kBuffers;
    filled_ = 0;
  }

  HWAVEOUT device_ = nullptr;
  HANDLE done_ = nullptr;
  WAVEHDR headers_[kBuffers] = {};
  std::vector<int16_t> data_[kBuffers];
  bool queued_[kBuffers] = {};
  int current_ = 0;    // the buffer being filled
  size_t filled_ = 0;  // frames in it
  size_t bufferFrames_ = 0;
  int channels_ = 1;
  std::atomic<int64_t> queuedFrames_{0};
  std::atomic<int> softGain_{65536};
  double level_ = 1.0;
  bool mute_ = false;
  bool paused_ = false;
};

}  // namespace

std::unique_ptr<PcmOutput> MakeSystemPcmOutput() { return std::make_unique<WaveOutPcm>(); }

}  // namespace crv::mpeg
