// AviFile: a RIFF AVI file parsed into an in-memory index of its chunks (one video stream,
// "00db"/"00dc"/"00iv", and one audio stream, "01wb"), with the header blocks it needs, the
// palette of 8-bit video, and reading of a video frame and of the sound of a video frame.
//
// The parser reads only through a ByteSource (the byte stream, or a block of memory in the tests
// and the fuzzer) and never trusts a size it read: every count and size is checked against the
// file's size and the limits below before anything is allocated or copied.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>
#include "player/base/byte_source.h"

namespace crv {

// Limits on what a file may declare.
constexpr uint32_t kAviMaxHeaderBlock = 1u << 16;  // "avih", "strh", "strf" bytes kept
constexpr uint32_t kAviMaxFrames = 1u << 22;       // video chunks indexed
constexpr uint32_t kAviMaxAudioChunks = 1u << 22;  // audio chunks indexed

// The index flag of a chunk a decoder can start from.
constexpr uint32_t kAviKeyFrameFlag = 0x10;

// Video index entry: flags, absolute offset of the chunk header, data size.
struct AviVideoEntry {
  uint32_t flags = 0;
  uint32_t offset = 0;
  uint32_t size = 0;
};
// Audio index entry: the same, and the running total of the data of all earlier audio chunks.
struct AviAudioEntry {
  uint32_t flags = 0;
  uint32_t offset = 0;
  uint32_t size = 0;
  uint64_t total = 0;
};

// The chunks and header blocks. Each copied header block is the chunk's 4-byte size word
// followed by the chunk data (header fields are 4 bytes into the block); empty when absent.
struct AviIndex {
  std::vector<uint8_t> avih;
  std::vector<uint8_t> videoStrh;
  std::vector<uint8_t> audioStrh;
  std::vector<uint8_t> audioStrf;
  std::vector<uint8_t> videoStrf;
  std::vector<AviVideoEntry> video;
  std::vector<AviAudioEntry> audio;
  // Sequential reading of the sound: the audio chunk of the last read's end, the frame expected
  // next, and the offset inside that chunk.
  uint32_t currentAudioChunk = 0;
  int64_t nextFrame = -1;
  uint32_t audioChunkOffset = 0;
  uint64_t fileSize = 0;
};

struct AviFile {
  char name[256] = {};  // for the dump only
  AviIndex index;
  int32_t hasAudio = 0;
  int32_t hasVideo = 0;
  int32_t audioChunkCount = 0;
  int32_t frameCount = 0;
  int32_t width = 0;
  int32_t height = 0;          // always positive (see topDown)
  bool topDown = false;        // the bitmap header's height was negative: rows stored top-down
  int32_t coloursUsed = 0;
  int32_t bitCount = 0;
  uint32_t microSecPerFrame = 0;
  uint32_t totalFrames = 0;    // dwTotalFrames of "avih"
  char compression[4] = {};    // biCompression; four zero bytes for uncompressed
  uint32_t audioBytesPerFrame = 0;
  uint16_t audioFormatTag = 0;
  int32_t channels = 0;
  int32_t bitsPerSample = 0;
  int32_t samplesPerSecond = 0;
  uint32_t averageBytesPerSecond = 0;
  uint16_t blockAlign = 0;
  bool hasPalette = false;
  uint8_t palette[1024] = {};  // RGBQUAD entries as stored
  uint32_t largestFrame = 0;   // the largest video chunk that lies within the file
};

// Whether the first 12 bytes are "RIFF", a size, "AVI ".
bool AviIsRiffAvi(ByteSource& bytes);

// Parses the file into `file` (which is cleared first); `name` is kept for the dump. With a
// dump stream the parser names what it finds there. False when the file is not a RIFF AVI
// file, has no "movi" list, or its header list is unusable; `file` then holds what was read.
bool AviParse(ByteSource& bytes, const char* name, std::FILE* dump, AviFile* file);

// The 256 palette entries as 0x00RRGGBB (zeros past the file's entries).
void AviPaletteRgb(const AviFile& file, uint32_t out[256]);

// Reads the data of video frame `frame` into `buffer` (room for `capacity` bytes); its size in
// `size`. False when the frame is out of range, its chunk does not lie within the file or
// does not fit, or the read fails.
bool AviReadFrame(AviFile& file, ByteSource& bytes, int32_t frame, uint8_t* buffer, uint32_t capacity,
                  uint32_t* size);

// The byte range of the concatenated "01wb" data that is the sound of video frame `frame`:
// [start, end), with start = frame x average bytes per second x microseconds per frame /
// 1,000,000 (64-bit), aligned down to the block alignment. Empty without sound.
struct AviAudioRange {
  uint64_t start = 0;
  uint64_t end = 0;
};
AviAudioRange AviFrameAudioRange(const AviFile& file, int64_t frame);
// Bytes one wave buffer needs for any frame's sound.
uint32_t AviAudioCapacity(const AviFile& file);

// Reads the sound of video frame `frame` into `buffer` (room for `capacity` bytes): the
// range above, across as many chunks as it spans, continuing from the kept cursor when
// `frame` follows the previous call. Bytes the file does not hold (past the end of the sound,
// a chunk outside the file) are left as they are (the caller zeroes). The byte count of the
// range (at most `capacity`); 0 without sound.
uint32_t AviReadFrameAudio(AviFile& file, ByteSource& bytes, int64_t frame, uint8_t* buffer, uint32_t capacity);

}  // namespace crv
