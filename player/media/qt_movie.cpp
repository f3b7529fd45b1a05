#include "player/media/qt_movie.h"

namespace crv {

bool QtMovieReader::Open(ByteSource* source) {
  Close();
  source_ = source;
  if (!QtReadMovie(*source, &movie_)) return false;
  const QtTrack* audio = nullptr;
  for (const QtTrack& t : movie_.tracks) {
    if (t.kind == QtTrackKind::kVideo && video_tracks_++ == 0) video_ = &t;
    if (t.kind == QtTrackKind::kAudio && audio_tracks_++ == 0) audio = &t;
  }
  if (video_ && !index_.Build(video_->tables, source->Size())) return false;
  // A sound track that cannot be located only makes the movie silent.
  audio_ok_ = audio && audio_.Open(source, *audio);
  return true;
}

void QtMovieReader::Close() {
  movie_ = QtMovie();
  video_ = nullptr;
  video_tracks_ = audio_tracks_ = 0;
  index_ = QtSampleIndex();
  current_ = 0;
  audio_ = QtAudioTrack();
  audio_ok_ = false;
}

const QtSampleDescription* QtMovieReader::VideoDescription() const {
  return video_ && !video_->descriptions.empty() ? &video_->descriptions[0] : nullptr;
}

uint32_t QtMovieReader::Width() const {
  const QtSampleDescription* d = VideoDescription();
  return d && d->width ? d->width : (video_ ? video_->width : 0);
}

uint32_t QtMovieReader::Height() const {
  const QtSampleDescription* d = VideoDescription();
  return d && d->height ? d->height : (video_ ? video_->height : 0);
}

uint32_t QtMovieReader::Depth() const {
  const QtSampleDescription* d = VideoDescription();
  return d ? d->depth : 0;
}

uint32_t QtMovieReader::VideoCompression() const {
  const QtSampleDescription* d = VideoDescription();
  return d ? d->format : 0;
}

double QtMovieReader::FrameRate() const {
  if (!video_ || video_->time_scale == 0) return 0;
  uint64_t frames = 0, units = 0;
  for (const QtTimeToSample& e : video_->tables.times) {
    frames += e.count;
    units += static_cast<uint64_t>(e.count) * e.duration;
  }
  return units ? static_cast<double>(frames) * video_->time_scale / static_cast<double>(units) : 0;
}

uint32_t QtMovieReader::FrameSize(uint32_t n) const {
  QtSampleSpan span;
  return index_.Locate(n, &span) ? span.size : 0;
}

bool QtMovieReader::SeekToSample(uint32_t n) {
  if (n >= index_.Count()) return false;
  current_ = n;
  return true;
}

bool QtMovieReader::ReadSample(void* buffer, uint32_t capacity, uint32_t* size) {
  QtSampleSpan span;
  if (!index_.Locate(current_, &span) || span.size > capacity) return false;
  if (!source_->ReadExactly(span.offset, buffer, span.size)) return false;
  *size = span.size;
  ++current_;
  return true;
}

}  // namespace crv
