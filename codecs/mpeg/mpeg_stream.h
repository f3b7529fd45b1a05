// Playback of one opened MPEG file: a decoding thread runs ahead of the picture on screen,
// filling a short queue of 5-6-5 pictures and the sound device, and the presenting thread (the
// player's, every ~100 ms) takes the picture that is due. Time is the sound's while the device
// plays queued sound, else a steady clock carried on from it, so that pictures follow the sound
// and a stream whose sound ends early (or never starts) still plays to its end.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "codecs/mpeg/mpeg_media.h"
#include "codecs/mpeg/mpeg_sound.h"

namespace crv::mpeg {

class MpegStream {
 public:
  // `sound` may be null (silent playback).
  explicit MpegStream(std::unique_ptr<PcmOutput> sound);
  MpegStream(const MpegStream&) = delete;
  MpegStream& operator=(const MpegStream&) = delete;
  ~MpegStream();

  // Opens the file; its sound plays when the device takes it.
  bool Open(const std::string& path);
  const StreamFacts& Facts() const { return media_.Facts(); }

  // Positions at the key picture at or before `ms` (0: the very start) and decodes it, so that
  // the first Take after Play has it. Playing goes on from there. The time reached, or -1 when
  // the stream cannot be positioned there (it then plays on from where it was).
  int64_t Position(int64_t ms);
  // Starts the decoding thread and the clock at the position.
  void Play();
  // Holds the clock and the sound (the thread fills the queue and waits).
  void Pause(bool on);
  // Ends the decoding thread and drops the queued sound and pictures.
  void Halt();

  // The latest picture due now into `out` (width x height pixels) and its time; false when no
  // new picture is due.
  bool TakeDue(std::vector<uint16_t>* out, int64_t* ms);
  // Every picture has been taken and the sound played out.
  bool Ended();
  // Stream time now, in milliseconds.
  int64_t NowMs();

  void SetVolume(double level, bool mute);

 private:
  struct Picture {
    int64_t ms = 0;
    std::vector<uint16_t> pixels;
  };

  void Run();
  // One packet read and decoded; false at the end of the stream or when cancelled.
  bool DecodeNext(AVPacket* packet);
  // A video packet, unless it comes before the first key picture.
  bool DecodeVideoPacket(AVPacket* packet);
  bool PushPicture(const AVFrame& frame, int64_t ms);
  bool PushSound(const int16_t* samples, int frames, int64_t ms);
  void DropQueue();
  static int64_t SteadyMs();

  MpegMedia media_;
  std::unique_ptr<PcmOutput> sound_;
  bool soundOpen_ = false;
  MpegMedia::TakePicture takePicture_;
  MpegMedia::TakeSound takeSound_;

  std::thread thread_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{false};  // the decoders gave all they had
  bool keySeen_ = false;               // video packets before the first key picture are skipped
  int skippedVideo_ = 0;
  bool positioning_ = false;           // the next picture is the one a seek reached
  bool priming_ = false;               // decoding on the caller's thread: the queue never waits
  int64_t reachedMs_ = 0;
  std::deque<AVPacket*> pending_;      // sound read while positioning, decoded by the thread

  std::mutex mutex_;
  std::condition_variable room_;
  std::deque<Picture> queue_;
  std::vector<std::vector<uint16_t>> spare_;  // picture buffers for reuse
  size_t capacity_ = 8;
  int64_t dropBeforeMs_ = 0;                 // pictures and sound before the position
  std::atomic<int64_t> lastPictureEndMs_{0};
  std::atomic<int64_t> soundEndMs_{0};
  std::atomic<int64_t> soundBaseMs_{0};      // time of the first sample queued since the reset
  std::atomic<bool> soundStarted_{false};

  // The clock (presenting thread only).
  bool playing_ = false;
  bool paused_ = false;
  bool firstTaken_ = false;
  int64_t positionMs_ = 0;
  int64_t anchorTick_ = 0;
  int64_t anchorMs_ = 0;
  int64_t pausedMs_ = 0;
  int64_t lastPlayed_ = -1;
  int64_t lastPlayedTick_ = 0;
};

}  // namespace crv::mpeg
