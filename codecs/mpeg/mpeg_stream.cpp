#include "codecs/mpeg/mpeg_stream.h"

#include <algorithm>
#include <chrono>
#include <climits>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace crv::mpeg {

namespace {

// Packets read at most while positioning, for the first picture.
constexpr int kPositionPackets = 20000;
// Sound packets kept at most while positioning (older ones are dropped).
constexpr size_t kMaxPendingSound = 4096;
// Video packets skipped at most while waiting for a key picture (a stream without key flags
// is decoded as it comes after these).
constexpr int kMaxSkippedVideo = 300;
// A sound position that has not moved for this long no longer leads the clock.
constexpr int64_t kSoundStallMs = 500;
// Decoded pictures kept ahead at most, in bytes.
constexpr size_t kQueueBytes = size_t(16) << 20;

}  // namespace

MpegStream::MpegStream(std::unique_ptr<PcmOutput> sound) : sound_(std::move(sound)) {
  takePicture_ = [this](const AVFrame& frame, int64_t ms) { return PushPicture(frame, ms); };
  takeSound_ = [this](const int16_t* samples, int frames, int64_t ms) { return PushSound(samples, frames, ms); };
}

MpegStream::~MpegStream() {
  Halt();
  if (sound_) sound_->Close();
}

int64_t MpegStream::SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool MpegStream::Open(const std::string& path) {
  Halt();
  if (soundOpen_) sound_->Close();
  soundOpen_ = false;
  if (!media_.Open(path, sound_ != nullptr)) return false;
  if (media_.HasSound()) {
    soundOpen_ = sound_->Open(media_.SoundRate(), media_.SoundChannels());
    if (!soundOpen_) media_.DropSound();
  }
  const StreamFacts& facts = media_.Facts();
  const size_t bytes = static_cast<size_t>(facts.width) * static_cast<size_t>(facts.height) * 2;
  capacity_ = std::clamp<size_t>(kQueueBytes / bytes, 2, 24);
  return true;
}

int64_t MpegStream::Position(int64_t ms) {
  const bool wasPlaying = playing_;
  const int64_t now = NowMs();
  Halt();
  ms = std::max<int64_t>(ms, 0);
  if (!media_.Seek(ms)) {
    // Nothing moved: the decoders go on after what they gave last.
    positionMs_ = now;
    dropBeforeMs_ = INT64_MIN;
    if (wasPlaying) Play();
    return -1;
  }
  keySeen_ = false;
  skippedVideo_ = 0;
  finished_ = false;
  // From the very start everything plays; after a seek the first picture decides.
  positioning_ = ms > 0;
  dropBeforeMs_ = INT64_MIN;
  reachedMs_ = ms;

  AVPacket* packet = av_packet_alloc();
  if (!packet) return -1;
  priming_ = true;
  for (int n = 0; n < kPositionPackets; ++n) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!queue_.empty()) break;
    }
    const MpegMedia::Packet kind = media_.Read(packet);
    if (kind == MpegMedia::Packet::kEnd) {
      // Nothing more to play from here: the next Take finds the end.
      media_.FinishVideo(takePicture_);
      finished_ = true;
      break;
    }
    if (kind == MpegMedia::Packet::kVideo) {
      DecodeVideoPacket(packet);
    } else if (kind == MpegMedia::Packet::kSound) {
      if (pending_.size() >= kMaxPendingSound) {
        av_packet_free(&pending_.front());
        pending_.pop_front();
      }
      if (AVPacket* copy = av_packet_clone(packet)) pending_.push_back(copy);
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  priming_ = false;
  positioning_ = false;
  positionMs_ = ms > 0 ? reachedMs_ : 0;
  if (ms > 0) dropBeforeMs_ = reachedMs_;
  if (wasPlaying) Play();
  return positionMs_;
}

void MpegStream::Play() {
  if (playing_) return;
  playing_ = true;
  firstTaken_ = false;
  anchorTick_ = lastPlayedTick_ = SteadyMs();
  anchorMs_ = pausedMs_ = positionMs_;
  lastPlayed_ = -1;
  if (soundOpen_) sound_->Pause(paused_);
  if (!finished_) thread_ = std::thread(&MpegStream::Run, this);
}

void MpegStream::Pause(bool on) {
  if (on == paused_) return;
  if (on) {
    pausedMs_ = NowMs();
    paused_ = true;
  } else {
    paused_ = false;
    anchorTick_ = lastPlayedTick_ = SteadyMs();
    anchorMs_ = pausedMs_;
  }
  if (soundOpen_) sound_->Pause(on);
}

void MpegStream::Halt() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancel_ = true;
  }
  room_.notify_all();
  if (thread_.joinable()) thread_.join();
  cancel_ = false;
  for (AVPacket*& packet : pending_) av_packet_free(&packet);
  pending_.clear();
  DropQueue();
  if (soundOpen_) sound_->Reset();
  soundStarted_ = false;
  soundEndMs_ = 0;
  lastPictureEndMs_ = 0;
  playing_ = false;
}

void MpegStream::DropQueue() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Picture& picture : queue_)
    if (spare_.size() < capacity_ + 2) spare_.push_back(std::move(picture.pixels));
  queue_.clear();
}

void MpegStream::Run() {
  AVPacket* packet = av_packet_alloc();
  try {
    // What the decoder still holds from positioning, and the sound read meanwhile, come first.
    bool going = packet && media_.DecodeVideo(nullptr, takePicture_);
    while (going && !pending_.empty()) {
      AVPacket* sound = pending_.front();
      pending_.pop_front();
      going = media_.DecodeSound(sound, takeSound_);
      av_packet_free(&sound);
    }
    while (going && !cancel_) going = DecodeNext(packet);
  } catch (...) {
    // Out of memory: the stream ends here rather than the program.
    finished_ = true;
  }
  av_packet_free(&packet);
}

bool MpegStream::DecodeVideoPacket(AVPacket* packet) {
  if (!keySeen_ && !(packet->flags & AV_PKT_FLAG_KEY) && skippedVideo_++ < kMaxSkippedVideo) return true;
  keySeen_ = true;
  return media_.DecodeVideo(packet, takePicture_);
}

bool MpegStream::DecodeNext(AVPacket* packet) {
  const MpegMedia::Packet kind = media_.Read(packet);
  if (kind == MpegMedia::Packet::kEnd) {
    if (media_.FinishVideo(takePicture_) && media_.FinishSound(takeSound_)) {
      if (soundOpen_) sound_->Flush();
      finished_ = true;
    }
    return false;
  }
  bool going = true;
  if (kind == MpegMedia::Packet::kVideo) going = DecodeVideoPacket(packet);
  else if (kind == MpegMedia::Packet::kSound) going = media_.DecodeSound(packet, takeSound_);
  av_packet_unref(packet);
  return going;
}

bool MpegStream::PushPicture(const AVFrame& frame, int64_t ms) {
  if (positioning_) {
    positioning_ = false;
    reachedMs_ = ms;
    dropBeforeMs_ = ms;
  }
  if (ms < dropBeforeMs_) return true;
  std::vector<uint16_t> pixels;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!spare_.empty()) {
      pixels = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  const StreamFacts& facts = media_.Facts();
  pixels.resize(static_cast<size_t>(facts.width) * static_cast<size_t>(facts.height));
  if (!media_.ConvertPicture(frame, pixels.data())) return true;
  std::unique_lock<std::mutex> lock(mutex_);
  room_.wait(lock, [this] { return priming_ || cancel_.load() || queue_.size() < capacity_; });
  if (cancel_) return false;
  queue_.push_back(Picture{ms, std::move(pixels)});
  lastPictureEndMs_ = std::max<int64_t>(lastPictureEndMs_, ms + media_.PictureMs());
  return true;
}

bool MpegStream::PushSound(const int16_t* samples, int frames, int64_t ms) {
  if (!soundOpen_ || frames <= 0) return true;
  const int64_t length = int64_t{frames} * 1000 / media_.SoundRate();
  if (ms + length <= dropBeforeMs_) return true;
  if (!soundStarted_) {
    soundBaseMs_ = ms;
    soundStarted_ = true;
  }
  soundEndMs_ = std::max<int64_t>(soundEndMs_, ms + length);
  return sound_->Write(samples, static_cast<size_t>(frames), cancel_);
}

int64_t MpegStream::NowMs() {
  if (!playing_) return positionMs_;
  if (paused_) return pausedMs_;
  const int64_t tick = SteadyMs();
  if (soundOpen_ && soundStarted_) {
    const int64_t played = sound_->PlayedFrames();
    const int64_t queued = sound_->QueuedFrames();
    if (played != lastPlayed_) {
      lastPlayed_ = played;
      lastPlayedTick_ = tick;
    }
    // The sound leads while it plays; starved or stalled, the clock carries on from it.
    if (queued > played && tick - lastPlayedTick_ < kSoundStallMs) {
      anchorTick_ = tick;
      anchorMs_ = soundBaseMs_ + played * 1000 / media_.SoundRate();
      return anchorMs_;
    }
  }
  return anchorMs_ + (tick - anchorTick_);
}

bool MpegStream::TakeDue(std::vector<uint16_t>* out, int64_t* ms) {
  const int64_t now = NowMs();
  Picture taken;
  bool got = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // The first picture after Play shows at once; then the latest one that is due.
    while (!queue_.empty() && (queue_.front().ms <= now || !firstTaken_)) {
      firstTaken_ = true;
      if (got && spare_.size() < capacity_ + 2) spare_.push_back(std::move(taken.pixels));
      taken = std::move(queue_.front());
      queue_.pop_front();
      got = true;
    }
    if (got) {
      out->swap(taken.pixels);
      if (spare_.size() < capacity_ + 2) spare_.push_back(std::move(taken.pixels));
    }
  }
  if (!got) return false;
  room_.notify_all();
  *ms = taken.ms;
  return true;
}

bool MpegStream::Ended() {
  if (!finished_) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!queue_.empty()) return false;
  }
  return NowMs() >= std::max<int64_t>(lastPictureEndMs_, soundEndMs_);
}

void MpegStream::SetVolume(double level, bool mute) {
  if (sound_) sound_->SetVolume(level, mute);
}

}  // namespace crv::mpeg
