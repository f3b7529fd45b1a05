#include "player/media/avi_source.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "player/media/codec_layer.h"
#include "player/media/format_tables.h"
#include "player/media/rstream.h"
#include "player/media/source_state.h"
#include "player/media/stream_byte_source.h"
#include "player/media/video_facts.h"
#include "player/media/video_playback.h"
#include "player/media/frame_buffer.h"

namespace crv {

namespace {

struct AviState {
  AviFile file;
  bool parsed = false;            // a file has been parsed (the facts query)
  bool open = false;              // parsed and the codec set up
  std::vector<uint8_t> frameData; // one compressed frame, sized to the largest chunk
  std::vector<uint8_t> audioScratch;
  int width = 0, height = 0;      // as the codec layer decodes
  int nextCaptured = 0;           // the frame GetFrame (slot >= 0) decodes next
  int32_t frameLimit = -1;
  char name[256] = {};            // for the dump
  std::unique_ptr<StreamByteSource> bytes;
};

AviState& State() {
  static AviState state;
  return state;
}

// Only for the dump: the path's characters, anything beyond ASCII as "?".
void NarrowName(const char16_t* path, char* out, size_t room) {
  size_t n = 0;
  if (path)
    for (; path[n] && n + 1 < room && n < kRecordPathChars; ++n)
      out[n] = path[n] < 0x80 ? static_cast<char>(path[n]) : '?';
  out[n] = 0;
}

// Forgets the open file: sound, frame buffer, codec. The parsed facts stay.
void ShutAvi() {
  AviState& s = State();
  TheVideoPlayback().ClearPaused();
  TheVideoPlayback().End();
  ProcessCodecLayer().Teardown();
  s.frameData.clear();
  s.frameData.shrink_to_fit();
  s.audioScratch.clear();
  s.bytes.reset();
  s.open = false;
  if (AviStream().kind() == RStream::kFile) AviStream().Close();
}

// Opening: the stream bound, "RIFF"/"AVI " checked, the file parsed with the dump on, the
// frame buffer for the largest chunk, the codec set up. 0 or kResultBadData.
int32_t OpenAvi(RFileHandle handle, const char16_t* path) {
  ShutAvi();
  AviState& s = State();
  RStream& stream = AviStream();
  if (stream.kind() != RStream::kHttp && !stream.BindFile(handle)) return kResultBadData;
  s.bytes = std::make_unique<StreamByteSource>(stream);
  if (path) NarrowName(path, s.name, sizeof s.name);
  s.parsed = AviParse(*s.bytes, s.name, stderr, &s.file);
  const AviFile& f = s.file;
  if (!s.parsed || f.frameCount <= 0 || f.width <= 0 || f.height <= 0 || f.width > CodecLayer::kMaxSide ||
      f.height > CodecLayer::kMaxSide) {
    ShutAvi();
    return kResultBadData;
  }
  s.frameData.assign(std::max<uint32_t>(f.largestFrame, 1), 0);
  if (AviAudioCapacity(f)) s.audioScratch.assign(AviAudioCapacity(f), 0);

  uint32_t palette[256];
  AviPaletteRgb(f, palette);
  int width = f.width;
  // Uncompressed rows stored top-down go to the layer with their negative height, which turns
  // them; the layer gives the height back positive.
  const bool uncompressed = NormaliseCodecCode(f.compression) == 0;
  int height = f.topDown && uncompressed ? -f.height : f.height;
  if (!ProcessCodecLayer().Setup(f.compression, &width, &height, f.bitCount, palette, nullptr)) {
    ShutAvi();
    return kResultBadData;
  }
  s.width = width;
  s.height = height;
  s.nextCaptured = 0;
  s.open = true;
  return kResultOk;
}

// The open file's bytes (only called while a file is open).
ByteSource& Bytes() {
  static MemoryByteSource nothing(nullptr, 0);
  return State().bytes ? static_cast<ByteSource&>(*State().bytes) : nothing;
}

// ---- The source's callbacks for the shared playback ------------------------------------------

int64_t FrameTime(void*, int frame) { return FrameToMs(frame, State().file.microSecPerFrame); }

int DueFrame(void*, int64_t elapsedMs) {
  const AviFile& f = State().file;
  const int64_t due = MsToFrame(elapsedMs, f.microSecPerFrame, f.frameCount);
  return static_cast<int>(std::min<int64_t>(due, 0x7FFFFFFF));
}

uint32_t FillAudio(void*, int frame, uint8_t* data, uint32_t capacity) {
  return AviReadFrameAudio(State().file, Bytes(), frame, data, capacity);
}

bool DecodeFrame(void*, int frame) {
  AviState& s = State();
  if (!s.open) return false;
  uint32_t size = 0;
  if (!AviReadFrame(s.file, Bytes(), frame, s.frameData.data(), static_cast<uint32_t>(s.frameData.size()), &size))
    return false;
  FrameBuffer& buffer = TheFrameBuffer();
  if (buffer.Is24BitMode() || buffer.Width() != s.width || buffer.Height() != s.height || !buffer.Pixels()) {
    buffer.Set24BitMode(false);
    if (!buffer.Allocate(s.width, s.height)) return false;
    std::memset(buffer.Bytes(), 0, buffer.SizeInBytes());
  }
  // An empty chunk repeats the picture before it.
  if (size == 0) return true;
  return ProcessCodecLayer().Decode(s.frameData.data(), size, buffer.Pixels(), false) == 1;
}

bool ReadFrame(void*, int frame) {
  AviState& s = State();
  uint32_t size = 0;
  return AviReadFrame(s.file, Bytes(), frame, s.frameData.data(), static_cast<uint32_t>(s.frameData.size()), &size);
}

bool ReadAudio(void*, int frame) {
  AviState& s = State();
  if (s.audioScratch.empty()) return true;
  AviReadFrameAudio(s.file, Bytes(), frame, s.audioScratch.data(), static_cast<uint32_t>(s.audioScratch.size()));
  return true;
}

void Rewind(void*) { ProcessCodecLayer().Reset(); }

// The index's key-frame flag; an index without any flag leaves every frame a starting point.
int KeyFrame(void*, int frame) {
  const std::vector<AviVideoEntry>& video = State().file.index.video;
  if (frame < 0 || static_cast<size_t>(frame) >= video.size()) return frame;
  for (int f = frame; f >= 0; --f)
    if (video[static_cast<size_t>(f)].flags & kAviKeyFrameFlag) return f;
  return frame;
}

VideoSourceCallbacks Callbacks() {
  VideoSourceCallbacks cb;
  cb.frameTimeMs = &FrameTime;
  cb.dueFrame = &DueFrame;
  cb.fillAudio = &FillAudio;
  cb.decodeFrame = &DecodeFrame;
  cb.readFrame = &ReadFrame;
  cb.readAudio = &ReadAudio;
  cb.rewind = &Rewind;
  cb.keyFrameAtOrBefore = &KeyFrame;
  return cb;
}

// Decodes the next frame as bottom-up 24-bit pixels into `out` (DIB rows padded to 4 bytes).
bool CaptureNextFrame(uint8_t* out, uint32_t outBytes) {
  AviState& s = State();
  const size_t packedRow = static_cast<size_t>(s.width) * 3;
  const size_t dibRow = static_cast<size_t>(DibRowBytes(24, static_cast<uint32_t>(s.width)));
  if (outBytes < dibRow * static_cast<size_t>(s.height)) return false;
  if (s.nextCaptured >= s.file.frameCount) return false;
  FrameBuffer& buffer = TheFrameBuffer();
  if (!buffer.Is24BitMode() || buffer.Width() != s.width || buffer.Height() != s.height || !buffer.Pixels()) {
    buffer.Set24BitMode(true);
    if (!buffer.Allocate(s.width, s.height)) return false;
    std::memset(buffer.Bytes(), 0, buffer.SizeInBytes());
  }
  uint32_t size = 0;
  if (!AviReadFrame(s.file, Bytes(), s.nextCaptured, s.frameData.data(), static_cast<uint32_t>(s.frameData.size()),
                    &size))
    return false;
  if (size && ProcessCodecLayer().Decode(s.frameData.data(), size, buffer.Bytes(), true) != 1) return false;
  ++s.nextCaptured;
  // The layer's rows are packed; a bitmap's rows are padded to 4 bytes.
  for (int y = 0; y < s.height; ++y) {
    uint8_t* row = out + dibRow * static_cast<size_t>(y);
    std::memcpy(row, buffer.Bytes() + packedRow * static_cast<size_t>(y), packedRow);
    std::memset(row + packedRow, 0, dibRow - packedRow);
  }
  return true;
}

bool Facts(VideoFacts* facts) {
  const AviState& s = State();
  if (!s.parsed) return false;
  const AviFile& f = s.file;
  facts->frames = f.frameCount;
  facts->duration_ms = FrameToMs(f.frameCount, f.microSecPerFrame);
  std::memcpy(facts->codec, f.compression, 4);
  facts->codec[4] = 0;
  facts->has_audio = f.audioChunkCount > 0;
  if (facts->has_audio) {
    facts->audio_format_tag = f.audioFormatTag;
    facts->audio_channels = static_cast<uint16_t>(f.channels);
    facts->audio_rate = static_cast<uint32_t>(f.samplesPerSecond);
    facts->audio_bits = static_cast<uint16_t>(f.bitsPerSample);
  }
  return true;
}

ImgFmtBase* MakeAviSource() { return new ImgFmtAVI(); }

}  // namespace

int32_t ImgFmtAVI::Load(RFileHandle file, uint32_t) {
  ClearAbort();
  const int32_t opened = OpenAvi(file, record_.path);
  if (opened != kResultOk) return opened;
  AviState& s = State();
  // The info text: the compression code, or "Uncompressed".
  if (NormaliseCodecCode(s.file.compression) == 0) {
    const char16_t text[] = u"Uncompressed";
    std::memcpy(record_.infoText, text, sizeof text);
  } else {
    for (int i = 0; i < 4; ++i) {
      const uint8_t c = static_cast<uint8_t>(s.file.compression[i]);
      record_.infoText[i] = c >= 0x20 && c < 0x7F ? c : u'?';
    }
    record_.infoText[4] = 0;
  }
  return LoadVideo(file, s.width, s.height, AviVideoOps(), kResultBadData);
}

int32_t AviStart(RFileHandle file, RWindow window, const char16_t* path, uint32_t) {
  VideoPlayback& playback = TheVideoPlayback();
  if (playback.Paused() && State().open && playback.Begun()) {
    // Resuming: the same file on a new handle; the next Step continues from the paused frame.
    if (AviStream().kind() != RStream::kHttp) AviStream().BindFile(file);
    return 0;
  }
  if (OpenAvi(file, path) != kResultOk) return -1;
  AviState& s = State();
  const AviFile& f = s.file;
  if (!playback.Begin(Callbacks(), f.frameCount, s.width, s.height, window, AviStream().kind() == RStream::kHttp)) {
    ShutAvi();
    return -1;
  }
  const uint32_t capacity = AviAudioCapacity(f);
  if (capacity) {
    PlaybackAudioFormat format;
    format.formatTag = f.audioFormatTag;
    format.channels = static_cast<uint16_t>(f.channels);
    format.samplesPerSecond = static_cast<uint32_t>(f.samplesPerSecond);
    format.averageBytesPerSecond = f.averageBytesPerSecond;
    format.blockAlign = f.blockAlign;
    format.bitsPerSample = static_cast<uint16_t>(f.bitsPerSample);
    playback.OpenAudio(format, capacity);
  }
  s.frameLimit = f.frameCount;
  return 0;
}

int32_t AviGetFrame(RFileHandle file, RFrameTable* table, intptr_t, int32_t slot) {
  if (!table || table->slotCount == 0) return -1;
  AviState& s = State();
  if (slot >= 0) {
    if (static_cast<uint32_t>(slot) >= table->slotCount) return -1;
    RFrameSlot* target = Slot(table, static_cast<uint32_t>(slot));
    if (!target->buffer) return -1;
    if (!s.open) {
      if (slot != 0 || OpenAvi(file, nullptr) != kResultOk) return -1;
    }
    return CaptureNextFrame(target->buffer, target->bytes) ? 0 : -1;
  }
  if (slot != kSlotSnapshot && slot != kSlotPause) return -1;
  RFrameSlot* first = Slot(table, 0);
  if (!first->buffer || !s.open) return -1;
  const uint64_t need = DibRowBytes(24, static_cast<uint32_t>(s.width)) * static_cast<uint64_t>(s.height);
  if (first->bytes < need) return -1;
  if (!TheVideoPlayback().Snapshot(first->buffer, static_cast<uint32_t>(s.width), static_cast<uint32_t>(s.height)))
    return -1;
  if (slot == kSlotPause) TheVideoPlayback().PrepareResume();
  return 0;
}

int32_t AviStep(const uint16_t* overlay, int32_t frame, const RRect* source, const RRect* target, uint32_t flags) {
  // Read-ahead before any playback (planning an HTTP movie's preload): the file is opened
  // again over its HTTP stream, whose header blocks are already there.
  if (!source && !TheVideoPlayback().Begun()) {
    if (!State().open && (AviStream().kind() != RStream::kHttp || OpenAvi(nullptr, nullptr) != kResultOk)) return -1;
    return ReadAheadFrames(Callbacks(), State().file.frameCount, frame, flags);
  }
  if (!State().open) return -1;
  return TheVideoPlayback().Step(overlay, frame, source, target, flags);
}

int32_t AviClose() {
  // A pause keeps everything open for the next Start.
  if (TheVideoPlayback().Paused()) return 0;
  ShutAvi();
  return 0;
}

const RVideoOps& AviVideoOps() {
  static const RVideoOps ops{&AviStart, &AviGetFrame, &AviStep, &AviClose};
  return ops;
}

int32_t AviFrameLimit() { return State().frameLimit; }
int32_t AviCurrentFrame() { return TheVideoPlayback().CurrentFrame(); }
const AviFile& CurrentAviFile() { return State().file; }

void RegisterAviSource() {
  RegisterSource(FormatTable::Video, kVideoAvi, &MakeAviSource);
  RegisterVideoFacts(kVideoAvi, &Facts);
}

}  // namespace crv
