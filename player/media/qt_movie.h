// The atom reader's movie object: an opened movie with its first video and first sound track,
// and the operations the QuickTime source plays it through.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "player/media/qt_audio.h"

namespace crv {

class QtMovieReader {
 public:
  QtMovieReader() = default;
  QtMovieReader(const QtMovieReader&) = delete;
  QtMovieReader& operator=(const QtMovieReader&) = delete;

  // Reads the movie through `source`, which must outlive the reader. False when there is no
  // "moov", it is broken, or the first video track's tables do not locate its samples.
  bool Open(ByteSource* source);
  void Close();

  const QtMovie& Movie() const { return movie_; }
  uint32_t VideoTrackCount() const { return video_tracks_; }
  uint32_t AudioTrackCount() const { return audio_tracks_; }

  // The first video track (null without one) and its sample description (null without one).
  const QtTrack* Video() const { return video_; }
  const QtSampleDescription* VideoDescription() const;
  uint32_t FrameCount() const { return index_.Count(); }
  uint32_t Width() const;
  uint32_t Height() const;
  uint32_t Depth() const;
  uint32_t VideoCompression() const;
  // Frames per second over the track's sample durations; 0 when they are all 0.
  double FrameRate() const;
  uint32_t LargestFrameSize() const { return index_.LargestSize(); }

  // Sample n of the video track: its size (0 when it cannot be located), and reading it whole
  // into `buffer` of `capacity` bytes (false when it is larger, unlocatable or unreadable).
  uint32_t FrameSize(uint32_t n) const;
  bool SeekToSample(uint32_t n);
  uint32_t CurrentSample() const { return current_; }
  bool ReadSample(void* buffer, uint32_t capacity, uint32_t* size);
  bool LocateSample(uint32_t n, QtSampleSpan* span) const { return index_.Locate(n, span); }

  // The first sound track, null without one (or when its bytes cannot be counted).
  QtAudioTrack* Audio() { return audio_ok_ ? &audio_ : nullptr; }
  const QtAudioTrack* Audio() const { return audio_ok_ ? &audio_ : nullptr; }

 private:
  ByteSource* source_ = nullptr;
  QtMovie movie_;
  const QtTrack* video_ = nullptr;
  uint32_t video_tracks_ = 0, audio_tracks_ = 0;
  QtSampleIndex index_;
  uint32_t current_ = 0;
  QtAudioTrack audio_;
  bool audio_ok_ = false;
};

}  // namespace crv
