#include "player/media/qt_player_source.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "player/media/codec_layer.h"
#include "player/media/format_tables.h"
#include "player/media/rstream.h"
#include "player/media/source_state.h"
#include "player/media/stream_byte_source.h"
#include "player/media/video_playback.h"
#include "player/media/frame_buffer.h"

namespace crv {

namespace {

// The opened movie and what playback keeps of it. Process-wide: one movie at a time.
struct QtPlayerState {
  QtFile file;
  std::unique_ptr<StreamByteSource> source;
  bool open = false;
  int32_t width = 0, height = 0;  // as the codec layer decodes them
  int32_t next_capture = 0;       // the frame GetFrame decodes next
  int32_t sound_frames = 0;
  // The end of the sound: 1 once frame count - 2 has been returned (the next Step reaches the
  // view's frame limit).
  int ending = 0;
  std::vector<int16_t> scratch;   // read-ahead of the sound
  char16_t path[kRecordPathChars] = {};
  VideoFacts facts;
  bool have_facts = false;
};

QtPlayerState& State() {
  static QtPlayerState state;
  return state;
}

uint16_t AudioTagOf(uint32_t compression) {
  switch (compression) {
    case QtType("raw "):
    case QtType("twos"):
    case QtType("sowt"):
      return 1;  // PCM
    case QtType("ima4"):
      return 0x11;  // IMA ADPCM
    case QtType("alaw"):
      return 6;
    case QtType("ulaw"):
      return 7;
    default:
      return 0;
  }
}

void KeepFacts(QtPlayerState& g) {
  VideoFacts f;
  f.frames = g.file.frame_count;
  if (!g.file.times.empty()) f.duration_ms = (g.file.times.back().start + g.file.times.back().duration) / 1000;
  std::memcpy(f.codec, g.file.compression, 4);
  f.codec[4] = 0;
  // The first sound track as the movie declares it, whether or not it can be played.
  if (const QtAudioTrack* audio = g.file.movie ? g.file.movie->Audio() : nullptr) {
    f.has_audio = true;
    f.audio_format_tag = AudioTagOf(audio->Compression());
    f.audio_channels = static_cast<uint16_t>(audio->Channels());
    f.audio_rate = audio->SampleRate();
    f.audio_bits = static_cast<uint16_t>(audio->Bits());
  }
  g.facts = f;
  g.have_facts = true;
}

void CloseMovie() {
  QtPlayerState& g = State();
  ProcessCodecLayer().Teardown();
  g.file = QtFile();
  g.source.reset();
  // A local file's handle goes back to the caller; an HTTP stream stays for its source.
  RStream& stream = QuickTimeStream();
  if (stream.kind() != RStream::kHttp) stream.Close();
  g.open = false;
  g.width = g.height = 0;
  g.next_capture = 0;
  g.sound_frames = 0;
  g.ending = 0;
  g.scratch.clear();
  g.scratch.shrink_to_fit();
}

// Opening: the stream bound to the handle (unless it is an HTTP stream), the movie read, the
// codec set up for the first video track.
bool OpenMovie(RFileHandle file) {
  CloseMovie();
  QtPlayerState& g = State();
  g.have_facts = false;  // nothing of an earlier movie is told about this one
  RStream& stream = QuickTimeStream();
  if (stream.kind() != RStream::kHttp && !stream.BindFile(file)) return false;
  g.source = std::make_unique<StreamByteSource>(stream);
  if (!QtIsMovie(*g.source) || !QtOpenFile(g.source.get(), nullptr, &g.file)) {
    CloseMovie();
    return false;
  }
  KeepFacts(g);
  const QtFile& f = g.file;
  int width = f.width, height = f.height;
  if (!f.has_video || f.frame_count <= 0 ||
      !ProcessCodecLayer().Setup(f.compression, &width, &height, f.bit_count, f.has_palette ? f.palette : nullptr,
                                 nullptr)) {
    CloseMovie();
    return false;
  }
  g.width = width;
  g.height = height;
  g.sound_frames = QtSoundFrames(f);
  g.open = true;
  return true;
}

// Sample `frame` of the video track read whole into a buffer of its own (std::free it), or null.
uint8_t* ReadFrameData(int frame, uint32_t* size) {
  QtPlayerState& g = State();
  if (!g.open || frame < 0 || frame >= g.file.frame_count) return nullptr;
  QtMovieReader& movie = *g.file.movie;
  QtSampleSpan span;
  if (!movie.LocateSample(static_cast<uint32_t>(frame), &span) || !movie.SeekToSample(static_cast<uint32_t>(frame)))
    return nullptr;
  auto* data = static_cast<uint8_t*>(std::malloc(span.size ? span.size : 1));
  if (!data) return nullptr;
  if (!movie.ReadSample(data, span.size, size)) {
    std::free(data);
    return nullptr;
  }
  return data;
}

// ---- The callbacks of the shared playback ------------------------------------------------------

int64_t FrameTimeMs(void*, int frame) {
  const QtFile& f = State().file;
  if (frame < 0 || static_cast<size_t>(frame) >= f.times.size()) return 0;
  return f.times[static_cast<size_t>(frame)].start / 1000;
}

int DueFrame(void*, int64_t elapsedMs) {
  const int64_t us = elapsedMs > INT64_MAX / 1000 ? INT64_MAX : elapsedMs * 1000;
  return QtDueFrame(State().file.times, us);
}

// Silence as long as the frame, so that the ring keeps the real pace past the sound's end.
uint32_t Silence(int frame, uint8_t* data, uint32_t capacity) {
  const QtFile& f = State().file;
  if (frame < 0 || static_cast<size_t>(frame) >= f.times.size()) return 0;
  const uint64_t bytes = 2 * QtSamplesAt(f, f.times[static_cast<size_t>(frame)].duration);
  const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(bytes, capacity & ~1u));
  std::memset(data, 0, n);
  return n;
}

uint32_t FillAudio(void*, int frame, uint8_t* data, uint32_t capacity) {
  QtPlayerState& g = State();
  // Once the counter has wrapped, nothing of the sound is to be heard again.
  if (!g.open || frame < 0 || frame >= g.sound_frames || CurrentPlaybackAudio().SoundWrapped())
    return Silence(frame, data, capacity);
  return QtFrameAudio(g.file, static_cast<uint32_t>(frame), reinterpret_cast<int16_t*>(data), capacity & ~1u);
}

bool DecodeFrame(void*, int frame) {
  FrameBuffer& buffer = TheFrameBuffer();
  QtPlayerState& g = State();
  if (!buffer.Pixels() || buffer.Width() != g.width || buffer.Height() != g.height) return false;
  uint32_t size = 0;
  uint8_t* data = ReadFrameData(frame, &size);
  if (!data) return false;
  const int decoded = ProcessCodecLayer().DecodeInto(data, size, buffer.Pixels(), buffer.SizeInBytes(), 0, false);
  std::free(data);
  return decoded == 1;
}

bool ReadFrame(void*, int frame) {
  uint32_t size = 0;
  uint8_t* data = ReadFrameData(frame, &size);
  std::free(data);
  return data != nullptr;
}

bool ReadAudio(void*, int frame) {
  QtPlayerState& g = State();
  if (!g.open || !g.file.has_audio || frame < 0 || frame >= g.sound_frames) return false;
  const uint32_t capacity = QtAudioBufferBytes(g.file);
  if (capacity == 0) return false;
  if (g.scratch.size() < capacity / 2) g.scratch.resize(capacity / 2);
  return QtFrameAudio(g.file, static_cast<uint32_t>(frame), g.scratch.data(), capacity) > 0;
}

// A rewind (restart flag or a negative frame): the codec starts over, and the whole ring is
// refilled from frame 0 at the next feed.
void Rewind(void*) {
  QtPlayerState& g = State();
  ProcessCodecLayer().Reset();
  g.ending = 0;
  PlaybackAudio& audio = CurrentPlaybackAudio();
  if (audio.IsPrepared()) {
    audio.SetRefillMark(true);
    audio.ClearSoundWrapped();
  }
}

int KeyFrame(void*, int frame) {
  const QtPlayerState& g = State();
  const QtTrack* video = g.open && g.file.movie ? g.file.movie->Video() : nullptr;
  return video ? QtSyncSampleAtOrBefore(video->tables.sync, frame) : frame;
}

VideoSourceCallbacks Callbacks() {
  VideoSourceCallbacks c;
  c.frameTimeMs = FrameTimeMs;
  c.dueFrame = DueFrame;
  c.fillAudio = FillAudio;
  c.decodeFrame = DecodeFrame;
  c.readFrame = ReadFrame;
  c.readAudio = ReadAudio;
  c.rewind = Rewind;
  c.keyFrameAtOrBefore = KeyFrame;
  return c;
}

// The sound's audio counter as if it never wrapped.
int64_t UnwrappedCounter(PlaybackAudio& audio, int32_t frameCount) {
  const int64_t counter = audio.AudioCounter();
  return audio.SoundWrapped() ? counter + frameCount : counter;
}

}  // namespace

// ---- Rules ---------------------------------------------------------------------------------------

double QtElapsedForCodec(const QtFile& file, uint64_t audioPosition, uint32_t videoPosition) {
  double seconds = 0;
  if (file.has_audio && file.sample_rate > 0 && audioPosition > 0)
    seconds = static_cast<double>(audioPosition) / file.sample_rate;
  double rate = file.movie ? file.movie->FrameRate() : 0;
  if (std::memcmp(file.compression, "SVQ1", 4) == 0) rate *= 10;
  if (rate > 0 && videoPosition > 0) seconds = std::max(seconds, videoPosition / rate);
  return seconds;
}

int32_t QtSoundFrames(const QtFile& file) {
  if (!file.has_audio || file.sample_rate <= 0) return 0;
  int32_t n = 0;
  for (const QtFrameTime& t : file.times) {
    if (QtSamplesAt(file, t.start) >= file.audio_length) break;
    ++n;
  }
  return n;
}

int32_t QtSyncSampleAtOrBefore(const std::vector<uint32_t>& sync, int32_t frame) {
  if (sync.empty() || frame < 0) return frame;
  // The table is sorted; its numbers count from 1.
  auto after = std::upper_bound(sync.begin(), sync.end(), static_cast<uint32_t>(frame) + 1);
  if (after == sync.begin()) return frame;
  return static_cast<int32_t>(*(after - 1)) - 1;
}

int32_t QtDueFrame(const std::vector<QtFrameTime>& times, int64_t elapsedUs) {
  if (times.empty()) return 0;
  // Starts never decrease, so the ends do not either (a hostile table is clamped to INT64_MAX).
  auto ends_after = [](const QtFrameTime& t, int64_t us) {
    const int64_t end = t.duration > INT64_MAX - t.start ? INT64_MAX : t.start + t.duration;
    return end <= us;
  };
  const auto it = std::partition_point(times.begin(), times.end(), [&](const QtFrameTime& t) {
    return ends_after(t, elapsedUs);
  });
  return static_cast<int32_t>(it - times.begin());
}

bool QtSoundEnded(int64_t unwrappedCounter, int buffers, int32_t soundFrames) {
  if (soundFrames <= 0 || buffers <= 0) return false;
  return unwrappedCounter - buffers >= soundFrames - 1;
}

// ---- The source ----------------------------------------------------------------------------------

int32_t ImgFmtQT::Load(RFileHandle file, uint32_t) {
  ClearAbort();
  if (!OpenMovie(file)) return kResultBadData;
  const QtPlayerState& g = State();
  // The info text: the sample description's type.
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = static_cast<uint8_t>(g.file.compression[i]);
    record_.infoText[i] = c >= 0x20 && c < 0x7F ? c : u'?';
  }
  record_.infoText[4] = 0;
  return LoadVideo(file, g.width, g.height, QtVideoOps(), kResultBadData);
}

RVideoOps QtVideoOps() { return RVideoOps{QtStart, QtGetFrame, QtStep, QtClose}; }

int32_t QtGetFrame(RFileHandle file, RFrameTable* table, intptr_t, int32_t slot) {
  if (!table || slot < kSlotPause) return -1;
  QtPlayerState& g = State();
  if (slot < 0) {
    // The frame on screen, kept by the playback as 5-6-5 pixels, into slot 0.
    RFrameSlot* first = Slot(table, 0);
    if (!first->buffer || table->slotCount < 1 ||
        first->bytes < DibRowBytes(24, table->width) * table->height)
      return -1;
    VideoPlayback& playback = TheVideoPlayback();
    if (!playback.Snapshot(first->buffer, table->width, table->height)) return -1;
    if (slot == kSlotPause) playback.PrepareResume();
    return 0;
  }
  if (static_cast<uint32_t>(slot) >= table->slotCount) return -1;
  RFrameSlot* target = Slot(table, static_cast<uint32_t>(slot));
  if (!target->buffer) return -1;
  if (!g.open) {
    if (slot != 0 || !OpenMovie(file)) return -1;
    g.next_capture = 0;
  }
  if (table->width != static_cast<uint32_t>(g.width) || table->height != static_cast<uint32_t>(g.height)) return -1;
  const uint64_t stride = DibRowBytes(24, static_cast<uint64_t>(g.width));
  if (target->bytes < stride * static_cast<uint64_t>(g.height)) return -1;
  uint32_t size = 0;
  uint8_t* data = ReadFrameData(g.next_capture, &size);
  if (!data) return -1;
  const int decoded = ProcessCodecLayer().DecodeInto(data, size, target->buffer, target->bytes,
                                                     static_cast<size_t>(stride), true);
  std::free(data);
  if (decoded != 1) return -1;
  ++g.next_capture;
  return 0;
}

int32_t QtStart(RFileHandle file, RWindow window, const char16_t* path, uint32_t) {
  QtPlayerState& g = State();
  VideoPlayback& playback = TheVideoPlayback();
  PlaybackAudio& audio = CurrentPlaybackAudio();
  if (playback.Paused() && g.open && playback.Begun()) {
    // Resuming: the same movie on the view's new handle; the sound refills from the paused frame.
    RStream& stream = QuickTimeStream();
    if (stream.kind() != RStream::kHttp && !stream.BindFile(file)) return -1;
    if (audio.IsPrepared()) {
      audio.SetRefillMark(true);
      // The counter now stands at the paused frame: whatever wrapped before is behind it.
      audio.ClearSoundWrapped();
    }
    g.ending = 0;
    return 0;
  }
  if (!OpenMovie(file)) return -1;
  ProcessCodecLayer().Reset();
  const bool streaming = QuickTimeStream().kind() == RStream::kHttp;
  if (!playback.Begin(Callbacks(), g.file.frame_count, g.width, g.height, window, streaming)) {
    CloseMovie();
    return -1;
  }
  if (path) {
    size_t n = 0;
    while (n + 1 < kRecordPathChars && path[n]) ++n;
    std::memcpy(g.path, path, n * sizeof(char16_t));
    g.path[n] = 0;
  }
  if (g.file.has_audio) {
    const uint32_t capacity = QtAudioBufferBytes(g.file);
    if (capacity > 0) {
      const bool wasPrepared = audio.IsPrepared();
      const QtWaveFormat w = QtAudioFormat(g.file);
      PlaybackAudioFormat format;
      format.formatTag = w.format_tag;
      format.channels = w.channels;
      format.samplesPerSecond = w.samples_per_second;
      format.averageBytesPerSecond = w.average_bytes_per_second;
      format.blockAlign = w.block_align;
      format.bitsPerSample = w.bits_per_sample;
      playback.OpenAudio(format, capacity);
      if (wasPrepared) audio.SetRefillMark(true);
      audio.ClearSoundWrapped();
    }
  }
  g.ending = 0;
  return 0;
}

int32_t QtStep(const uint16_t* overlay, int32_t frame, const RRect* source, const RRect* target, uint32_t flags) {
  QtPlayerState& g = State();
  VideoPlayback& playback = TheVideoPlayback();
  // Read-ahead before any playback (planning an HTTP movie's preload): the movie is opened
  // again over its HTTP stream, whose header blocks are already there.
  if (!source && !playback.Begun()) {
    if (!g.open && (QuickTimeStream().kind() != RStream::kHttp || !OpenMovie(nullptr))) return -1;
    return ReadAheadFrames(Callbacks(), g.file.frame_count, frame, flags);
  }
  if (!g.open || !playback.Begun()) return -1;
  playback.ClearPaused();
  if (!source) return playback.Step(overlay, frame, source, target, flags);  // read-ahead
  PlaybackAudio& audio = CurrentPlaybackAudio();
  const int32_t count = g.file.frame_count;
  const bool restart = (flags & kStepRestart) || frame < 0;
  if (restart) g.ending = 0;
  if (flags & kStepRedraw) {
    // Waiting for data: the sound continues from the current frame when the frames come.
    const int32_t current = playback.Step(overlay, frame, source, target, flags);
    audio.ClearSoundWrapped();
    g.ending = 0;
    return current;
  }
  if (g.ending == 1) {
    // The step after the end of the sound: it reaches the view's frame limit.
    g.ending = 2;
    playback.SetCurrentFrame(NextFrameAfter(std::max(count - 2, 0), count));
    return playback.CurrentFrame();
  }
  const bool sound = playback.AudioRunning() && g.sound_frames > 0 && g.ending == 0;
  auto end_of_sound = [&] {
    g.ending = 1;
    playback.SetCurrentFrame(std::max(count - 2, 0));
    return playback.CurrentFrame();
  };
  if (sound && !restart && QtSoundEnded(UnwrappedCounter(audio, count), audio.BufferCount(), g.sound_frames))
    return end_of_sound();
  const int32_t next = playback.Step(overlay, frame, source, target, flags);
  if (next >= 0 && sound) {
    // A feed that let the counter run far past the wrap would have sent the video back to the
    // first frames: the sound is over then too.
    const FrameChoice& choice = playback.LastChoice();
    if (audio.SoundWrapped() && choice.decode && choice.frame < count - audio.BufferCount() &&
        QtSoundEnded(UnwrappedCounter(audio, count), audio.BufferCount(), g.sound_frames))
      return end_of_sound();
  }
  return next;
}

int32_t QtClose() {
  VideoPlayback& playback = TheVideoPlayback();
  // A pause keeps the movie, the sound and the frame buffer for the next Start.
  if (playback.Paused()) return 0;
  playback.End();
  CloseMovie();
  return 0;
}

int32_t QtFrameCount() { return State().open ? State().file.frame_count : 0; }

int32_t QtCurrentFrame() { return State().open ? TheVideoPlayback().CurrentFrame() : 0; }

double QtPlaybackElapsedSeconds() {
  QtPlayerState& g = State();
  if (!g.open || !g.file.movie) return 0;
  const QtAudioTrack* audio = g.file.movie->Audio();
  return QtElapsedForCodec(g.file, audio ? audio->Position() : 0, g.file.movie->CurrentSample());
}

const QtFile* QtOpenedFile() { return State().open ? &State().file : nullptr; }

bool QtVideoFacts(VideoFacts* facts) {
  const QtPlayerState& g = State();
  if (!facts || !g.have_facts) return false;
  *facts = g.facts;
  return true;
}

void RegisterQtSource() {
  RegisterSource(FormatTable::Video, kVideoQuickTime, []() -> ImgFmtBase* { return new (std::nothrow) ImgFmtQT; });
  RegisterVideoFacts(kVideoQuickTime, QtVideoFacts);
}

}  // namespace crv
