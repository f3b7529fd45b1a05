#include "player/media/avi_file.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include "player/base/bytes.h"

namespace crv {

namespace {

// A chunk's four characters as text for the dump.
struct TagText {
  char text[5];
  explicit TagText(uint32_t tag) {
    PutLe32(reinterpret_cast<uint8_t*>(text), tag);
    text[4] = 0;
  }
};

// RIFF chunks are padded to an even length.
inline uint64_t Padded(uint32_t size) { return uint64_t{size} + (size & 1); }

bool IsVideoTag(uint32_t id) { return id == FourCc("00db") || id == FourCc("00dc") || id == FourCc("00iv"); }
bool IsAudioTag(uint32_t id) { return id == FourCc("01wb"); }

// Reads id and size of the chunk header at `pos`.
bool ReadChunkHeader(ByteSource& bytes, uint64_t pos, uint32_t* id, uint32_t* size) {
  uint8_t h[8];
  if (!bytes.ReadExactly(pos, h, 8)) return false;
  *id = Le32(h);
  *size = Le32(h + 4);
  return true;
}

// The first 12 bytes, when they are "RIFF", a size, "AVI ".
bool ReadRiffAviHead(ByteSource& bytes, uint8_t head[12]) {
  return bytes.ReadExactly(0, head, 12) && Le32(head) == FourCc("RIFF") && Le32(head + 8) == FourCc("AVI ");
}

// A header field `at` bytes into the chunk data of a copied block; 0 when the block is short.
uint32_t BlockWord(const std::vector<uint8_t>& block, size_t at) { return ByteView(block).Le32(4 + at); }
uint16_t BlockHalf(const std::vector<uint8_t>& block, size_t at) { return ByteView(block).Le16(4 + at); }

class Parser {
 public:
  Parser(ByteSource& bytes, std::FILE* dump, AviFile* file) : bytes_(bytes), dump_(dump), file_(*file) {}

  bool Run();

 private:
#if defined(__GNUC__)
  __attribute__((format(printf, 2, 3)))
#endif
  void Dump(const char* format, ...) {
    if (!dump_) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(dump_, format, args);
    va_end(args);
  }
  // Copies the chunk at `pos` (data of `size` bytes, not past `end`) as a header block.
  void CopyBlock(uint64_t pos, uint32_t size, uint64_t end, std::vector<uint8_t>* block);
  void ParseHeaderList(uint64_t start, uint64_t end);
  void ParseStreamList(uint64_t start, uint64_t end);
  void ParseIdx1(uint64_t data, uint32_t count);
  void WalkMovi();
  void AddVideo(uint32_t flags, uint64_t offset, uint32_t size);
  void AddAudio(uint32_t flags, uint64_t offset, uint32_t size);
  void TakeResults();

  ByteSource& bytes_;
  std::FILE* dump_;
  AviFile& file_;
  uint64_t end_ = 0;
  bool haveMovi_ = false;
  uint64_t moviOffset_ = 0;
  uint32_t moviSize_ = 0;
  bool haveHdrl_ = false;
  bool haveIdx1_ = false;
  uint64_t idx1Data_ = 0;
  uint32_t idx1Count_ = 0;
  uint32_t videoCap_ = kAviMaxFrames;
};

void Parser::CopyBlock(uint64_t pos, uint32_t size, uint64_t end, std::vector<uint8_t>* block) {
  uint64_t available = end > pos + 8 ? end - (pos + 8) : 0;
  const uint32_t kept = static_cast<uint32_t>(std::min<uint64_t>({size, available, kAviMaxHeaderBlock}));
  block->assign(4 + size_t{kept}, 0);
  PutLe32(block->data(), kept);
  if (kept && !bytes_.ReadExactly(pos + 8, block->data() + 4, kept)) block->assign(4, 0);
}

void Parser::ParseStreamList(uint64_t start, uint64_t end) {
  enum { kNone, kVideo, kAudio } stream = kNone;
  for (uint64_t pos = start; pos + 8 <= end;) {
    uint32_t id, size;
    if (!ReadChunkHeader(bytes_, pos, &id, &size)) return;
    if (id == FourCc("strh")) {
      uint8_t type[4] = {};
      stream = kNone;
      if (size >= 4 && bytes_.ReadExactly(pos + 8, type, 4)) {
        const uint32_t t = Le32(type);
        if (t == FourCc("vids") && file_.index.videoStrh.empty()) {
          CopyBlock(pos, size, end, &file_.index.videoStrh);
          file_.hasVideo = 1;
          stream = kVideo;
        } else if (t == FourCc("auds") && file_.index.audioStrh.empty()) {
          CopyBlock(pos, size, end, &file_.index.audioStrh);
          file_.hasAudio = 1;
          stream = kAudio;
        }
      }
    } else if (id == FourCc("strf")) {
      if (stream == kVideo && file_.index.videoStrf.empty()) CopyBlock(pos, size, end, &file_.index.videoStrf);
      if (stream == kAudio && file_.index.audioStrf.empty()) CopyBlock(pos, size, end, &file_.index.audioStrf);
      stream = kNone;
    }
    pos += 8 + Padded(size);
  }
}

void Parser::ParseHeaderList(uint64_t start, uint64_t end) {
  for (uint64_t pos = start; pos + 8 <= end;) {
    uint32_t id, size;
    if (!ReadChunkHeader(bytes_, pos, &id, &size)) return;
    if (id == FourCc("avih")) {
      if (file_.index.avih.empty()) CopyBlock(pos, size, end, &file_.index.avih);
    } else if (id == FourCc("LIST") && size >= 4) {
      uint8_t type[4];
      if (!bytes_.ReadExactly(pos + 8, type, 4)) return;
      Dump("LIST %s   size %u bytes.\n", TagText(Le32(type)).text, size);
      if (Le32(type) == FourCc("strl")) ParseStreamList(pos + 12, std::min(end, pos + 8 + size));
    }
    pos += 8 + Padded(size);
  }
}

void Parser::AddVideo(uint32_t flags, uint64_t offset, uint32_t size) {
  if (file_.index.video.size() >= videoCap_) return;
  AviVideoEntry e;
  e.flags = flags;
  e.offset = static_cast<uint32_t>(std::min<uint64_t>(offset, 0xFFFFFFFFu));
  e.size = size;
  file_.index.video.push_back(e);
}

void Parser::AddAudio(uint32_t flags, uint64_t offset, uint32_t size) {
  auto& audio = file_.index.audio;
  if (audio.size() >= kAviMaxAudioChunks) return;
  AviAudioEntry e;
  e.flags = flags;
  e.offset = static_cast<uint32_t>(std::min<uint64_t>(offset, 0xFFFFFFFFu));
  e.size = size;
  e.total = audio.empty() ? 0 : audio.back().total + audio.back().size;
  audio.push_back(e);
}

void Parser::ParseIdx1(uint64_t data, uint32_t count) {
  // Room for what the entries can hold: the video index never beyond dwTotalFrames, the audio
  // index as large as the audio entries actually present.
  uint32_t videoEntries = 0, audioEntries = 0;
  constexpr uint32_t kBatch = 4096;
  std::vector<uint8_t> batch(size_t{kBatch} * 16);
  for (int pass = 0; pass < 2; ++pass) {
    bool first = true;
    uint64_t add = 0;
    for (uint32_t done = 0; done < count;) {
      const uint32_t n = std::min(kBatch, count - done);
      if (!bytes_.ReadExactly(data + uint64_t{done} * 16, batch.data(), n * 16)) return;
      for (uint32_t k = 0; k < n; ++k) {
        const uint8_t* e = batch.data() + size_t{k} * 16;
        const uint32_t id = Le32(e);
        const bool video = IsVideoTag(id), audio = IsAudioTag(id);
        if (!video && !audio) continue;
        if (pass == 0) {
          (video ? videoEntries : audioEntries)++;
          continue;
        }
        const uint32_t offset = Le32(e + 8);
        if (first) {
          // Offsets below the movi list count from its "movi" word; others are absolute.
          add = offset < moviOffset_ ? moviOffset_ + 8 : 0;
          first = false;
        }
        if (video) AddVideo(Le32(e + 4), offset + add, Le32(e + 12));
        else AddAudio(Le32(e + 4), offset + add, Le32(e + 12));
      }
      done += n;
    }
    if (pass == 0) {
      file_.index.video.reserve(std::min(videoEntries, videoCap_));
      file_.index.audio.reserve(std::min(audioEntries, kAviMaxAudioChunks));
    }
  }
}

void Parser::WalkMovi() {
  const uint64_t listEnd = moviOffset_ + 8 + uint64_t{moviSize_};
  const uint64_t end = moviSize_ >= 4 && listEnd < end_ ? listEnd : end_;
  for (uint64_t pos = moviOffset_ + 12; pos + 8 <= end;) {
    uint32_t id, size;
    if (!ReadChunkHeader(bytes_, pos, &id, &size)) return;
    uint64_t step = Padded(size);
    if (id == FourCc("LIST")) {
      step = 4;  // enter the list: its chunks are walked as if they stood in movi
    } else if (pos + 8 + uint64_t{size} <= end_) {
      if (IsVideoTag(id)) AddVideo(0x10, pos, size);
      else if (IsAudioTag(id)) AddAudio(0x10, pos, size);
    }
    if (file_.index.video.size() >= videoCap_ && file_.index.audio.size() >= kAviMaxAudioChunks) return;
    pos += 8 + step;
  }
}

void Parser::TakeResults() {
  AviIndex& index = file_.index;
  file_.microSecPerFrame = BlockWord(index.avih, 0);
  if (file_.hasAudio && !index.audio.empty() && index.audioStrf.size() >= 4 + 14) {
    file_.audioFormatTag = BlockHalf(index.audioStrf, 0);
    file_.channels = BlockHalf(index.audioStrf, 2);
    file_.samplesPerSecond = static_cast<int32_t>(std::min<uint32_t>(BlockWord(index.audioStrf, 4), 0x7FFFFFFF));
    file_.averageBytesPerSecond = BlockWord(index.audioStrf, 8);
    file_.blockAlign = BlockHalf(index.audioStrf, 12);
    file_.bitsPerSample = BlockHalf(index.audioStrf, 14);
    file_.audioChunkCount = static_cast<int32_t>(index.audio.size());
    const uint64_t perFrame = uint64_t{file_.averageBytesPerSecond} * file_.microSecPerFrame / 1000000u;
    file_.audioBytesPerFrame = static_cast<uint32_t>(std::min<uint64_t>(perFrame, 0xFFFFFFFFu));
  }
  if (file_.hasVideo && !index.video.empty() && index.videoStrf.size() >= 4 + 40) {
    file_.frameCount = static_cast<int32_t>(index.video.size());
    file_.width = static_cast<int32_t>(BlockWord(index.videoStrf, 4));
    const int64_t height = static_cast<int32_t>(BlockWord(index.videoStrf, 8));
    file_.topDown = height < 0;
    file_.height = static_cast<int32_t>(std::min<int64_t>(height < 0 ? -height : height, 0x7FFFFFFF));
    std::memcpy(file_.compression, index.videoStrf.data() + 4 + 16, 4);
    file_.bitCount = BlockHalf(index.videoStrf, 14);
    file_.coloursUsed = static_cast<int32_t>(std::min<uint32_t>(BlockWord(index.videoStrf, 32), 0x7FFFFFFF));
    // 8 bits or fewer with no count given means the full table for the depth.
    int32_t entries = 0;
    if (file_.coloursUsed >= 1 && file_.coloursUsed <= 256) entries = file_.coloursUsed;
    else if (file_.coloursUsed == 0 && file_.bitCount >= 1 && file_.bitCount <= 8) entries = 1 << file_.bitCount;
    if (entries > 0) {
      const size_t strfSize = index.videoStrf.size() - 4;
      size_t header = BlockWord(index.videoStrf, 0);
      if (header < 40 || header > strfSize) header = 40;
      const size_t available = (strfSize - header) / 4;
      const size_t count = std::min<size_t>(size_t(entries), available);
      if (count) {
        std::memcpy(file_.palette, index.videoStrf.data() + 4 + header, count * 4);
        file_.hasPalette = true;
      }
    }
    for (const AviVideoEntry& e : index.video)
      if (uint64_t{e.offset} + 8 + e.size <= end_) file_.largestFrame = std::max(file_.largestFrame, e.size);
  }
}

bool Parser::Run() {
  end_ = bytes_.Size();
  file_.index.fileSize = end_;
  Dump("Contents of file %s (%i bytes):\n\n", file_.name, static_cast<int>(std::min<uint64_t>(end_, 0x7FFFFFFF)));
  uint8_t head[12];
  if (!ReadRiffAviHead(bytes_, head)) {
    Dump("Not a RIFF file.\n");
    return false;
  }
  Dump("Riff of type %s   size %u bytes.\n", TagText(Le32(head + 8)).text, Le32(head + 4));

  for (uint64_t pos = 12; pos + 8 <= end_;) {
    uint32_t id, size;
    if (!ReadChunkHeader(bytes_, pos, &id, &size)) break;
    if (id == FourCc("LIST")) {
      uint8_t type[4] = {};
      if (size >= 4 && pos + 12 <= end_ && bytes_.ReadExactly(pos + 8, type, 4)) {
        const uint32_t t = Le32(type);
        Dump("LIST %s   size %u bytes.\n", TagText(t).text, size);
        if (t == FourCc("movi") && !haveMovi_) {
          haveMovi_ = true;
          moviOffset_ = pos;
          moviSize_ = size;
        } else if (t == FourCc("hdrl") && !haveHdrl_) {
          haveHdrl_ = true;
          ParseHeaderList(pos + 12, std::min(end_, pos + 8 + size));
        }
      }
    } else if (id == FourCc("idx1")) {
      Dump("idx1 chunk, %u elements.\n", size / 16);
      if (!haveIdx1_) {
        haveIdx1_ = true;
        idx1Data_ = pos + 8;
        // Only the entries that lie within the file.
        const uint64_t inFile = end_ > pos + 8 ? (end_ - (pos + 8)) / 16 : 0;
        idx1Count_ = static_cast<uint32_t>(std::min<uint64_t>(size / 16, inFile));
      }
    } else {
      Dump("Unexpected tag %s   size %u bytes.\n", TagText(id).text, size);
    }
    pos += 8 + Padded(size);
  }

  if (!haveMovi_) {
    Dump("No movi LIST.\n");
    return false;
  }
  const uint32_t totalFrames = BlockWord(file_.index.avih, 16);
  file_.totalFrames = totalFrames;
  // The video index holds at most dwTotalFrames entries; a file that gives none is taken by
  // its chunks.
  videoCap_ = totalFrames ? std::min(totalFrames, kAviMaxFrames) : kAviMaxFrames;
  if (haveIdx1_) ParseIdx1(idx1Data_, idx1Count_);
  if (file_.index.video.empty() && file_.index.audio.empty()) {
    if (!haveIdx1_) Dump("no idx1. Building index from movi LIST.\n");
    WalkMovi();
  }
  TakeResults();
  return true;
}

}  // namespace

bool AviIsRiffAvi(ByteSource& bytes) {
  uint8_t head[12];
  return ReadRiffAviHead(bytes, head);
}

bool AviParse(ByteSource& bytes, const char* name, std::FILE* dump, AviFile* file) {
  if (!file) return false;
  *file = AviFile{};
  if (name) {
    std::strncpy(file->name, name, 253);
    file->name[253] = 0;
  }
  Parser parser(bytes, dump, file);
  return parser.Run();
}

void AviPaletteRgb(const AviFile& file, uint32_t out[256]) {
  for (int i = 0; i < 256; ++i) out[i] = Le32(file.palette + 4 * i) & 0xFFFFFF;
}

bool AviReadFrame(AviFile& file, ByteSource& bytes, int32_t frame, uint8_t* buffer, uint32_t capacity,
                  uint32_t* size) {
  if (size) *size = 0;
  if (frame < 0 || frame >= file.frameCount || static_cast<size_t>(frame) >= file.index.video.size()) return false;
  const AviVideoEntry& e = file.index.video[static_cast<size_t>(frame)];
  if (uint64_t{e.offset} + 8 + e.size > file.index.fileSize || e.size > capacity) return false;
  if (e.size && (!buffer || !bytes.ReadExactly(uint64_t{e.offset} + 8, buffer, e.size))) return false;
  if (size) *size = e.size;
  return true;
}

namespace {

// Bytes of sound up to the start of frame `frame`.
uint64_t AudioBytesBefore(const AviFile& file, int64_t frame) {
  const uint64_t product = uint64_t{file.averageBytesPerSecond} * file.microSecPerFrame;
  const uint64_t whole = product / 1000000u, part = product % 1000000u;
  const uint64_t f = static_cast<uint64_t>(frame);
  uint64_t bytes = f * whole + f * part / 1000000u;
  if (file.blockAlign > 1) bytes -= bytes % file.blockAlign;
  return bytes;
}

// Nothing is played for sound of more than this a frame (and the arithmetic stays in range).
constexpr uint32_t kMaxAudioBytesPerFrame = 1u << 22;

bool HasSound(const AviFile& file) {
  return file.audioChunkCount > 0 && file.audioBytesPerFrame > 0 && file.audioBytesPerFrame <= kMaxAudioBytesPerFrame;
}

}  // namespace

AviAudioRange AviFrameAudioRange(const AviFile& file, int64_t frame) {
  AviAudioRange range;
  if (!HasSound(file) || frame < 0 || frame >= (int64_t{1} << 31)) return range;
  range.start = AudioBytesBefore(file, frame);
  range.end = AudioBytesBefore(file, frame + 1);
  return range;
}

uint32_t AviAudioCapacity(const AviFile& file) {
  if (!HasSound(file)) return 0;
  return file.audioBytesPerFrame + 1 + std::max<uint32_t>(file.blockAlign, 1);
}

uint32_t AviReadFrameAudio(AviFile& file, ByteSource& bytes, int64_t frame, uint8_t* buffer, uint32_t capacity) {
  const AviAudioRange range = AviFrameAudioRange(file, frame);
  if (range.end <= range.start || !buffer) return 0;
  const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(range.end - range.start, capacity));
  AviIndex& index = file.index;
  const auto& audio = index.audio;
  const size_t count = audio.size();

  // The chunk holding the start: the kept cursor for the frame after the previous call, else
  // the last chunk whose running total does not pass the start.
  size_t c;
  if (frame == index.nextFrame && index.currentAudioChunk < count && audio[index.currentAudioChunk].total <= range.start) {
    c = index.currentAudioChunk;
  } else {
    const auto it = std::upper_bound(audio.begin(), audio.end(), range.start,
                                     [](uint64_t v, const AviAudioEntry& e) { return v < e.total; });
    c = it == audio.begin() ? 0 : static_cast<size_t>(it - audio.begin()) - 1;
  }

  uint64_t pos = range.start;
  uint32_t done = 0;
  while (done < length && c < count) {
    const AviAudioEntry& e = audio[c];
    const uint64_t chunkEnd = e.total + e.size;
    if (pos >= chunkEnd) {
      ++c;
      continue;
    }
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(length - done, chunkEnd - pos));
    const uint64_t at = uint64_t{e.offset} + 8 + (pos - e.total);
    // A chunk that does not lie within the file gives silence.
    if (uint64_t{e.offset} + 8 + e.size <= index.fileSize) bytes.ReadAt(at, buffer + done, n);
    done += n;
    pos += n;
    if (pos >= chunkEnd) ++c;
  }
  // The cursor: the chunk holding the end of this range, for the next frame.
  while (c < count && audio[c].total + audio[c].size <= pos) ++c;
  index.currentAudioChunk = static_cast<uint32_t>(std::min<size_t>(c, count));
  index.audioChunkOffset = c < count ? static_cast<uint32_t>(pos - audio[c].total) : 0;
  index.nextFrame = frame + 1;
  return length;
}

}  // namespace crv
