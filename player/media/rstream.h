// RStream: the byte stream through which the AVI and QuickTime sources read their container, so
// that one parser serves a local file and a movie on a web server.
//
// A stream is a local file (kind 1) or an HTTP stream (kind 2). The HTTP kind keeps a memory
// image of the whole remote file and fills it on demand in 16,384-byte blocks, one ranged GET
// per block over a kept connection; a bit per block says which blocks are there. The size is
// learnt when opening and must be 1 <= size < 6,553,600 bytes (exactly 400 blocks at most).
//
// The error flag is set by any failed operation and cleared only by Close or by binding the
// stream anew. An HTTP stream that failed to open stays kind 0 and every operation fails.
//
// Threads: the reading thread and the preload thread (which calls FetchBlock) share an HTTP
// stream's state. Fetches are serialised on the state's own lock and a block's bit is published
// only after its bytes are all in place, so a block is fetched once, its bytes are never
// written again while anyone may read them, and bits are never lost. The state is shared-owned:
// a preload thread holding it keeps it alive across the stream's Close.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include "player/media/frame_record.h"
#include "player/media/http_session.h"

namespace crv {

constexpr uint32_t kStreamBlockSize = 16384;
constexpr uint32_t kStreamSizeLimit = 6553600;  // first size refused: 400 blocks
constexpr uint32_t kStreamMaxBlocks = kStreamSizeLimit / kStreamBlockSize;

struct BlockSpan {
  uint32_t offset = 0;
  uint32_t length = 0;
};

// 1 <= size < 6,553,600.
bool StreamSizeAccepted(int64_t size);
uint32_t StreamBlockCount(uint32_t size);
// Block n covers n x 16384 up to min(size, (n + 1) x 16384) - 1; empty beyond the last block.
BlockSpan StreamBlockSpan(uint32_t size, uint32_t block);
// "Range: bytes=<offset>-<offset + length - 1>", without a line terminator.
std::u16string RangeHeaderText(uint32_t offset, uint32_t length);
// A Content-Range value "bytes <first>-<last>/<total or *>" (blanks around it allowed); false
// when the text is not that.
bool ParseContentRange(const std::u16string& text, uint64_t* first, uint64_t* last);
// Whether a reply carries exactly the block `span`: 206 whose Content-Range names that very
// range, or 200 (the whole resource from its first byte) for the first block only.
bool RangeReplyAccepted(uint32_t status, const std::u16string& contentRange, const BlockSpan& span);
// A Content-Length value: decimal digits, optionally surrounded by blanks. -1 when it is not
// a number; values beyond what 64 bits hold come back as INT64_MAX (and are refused by size).
int64_t ParseContentLength(const std::u16string& text);

class HttpStreamState {
 public:
  // Learns the size, connects and allocates the image and the zeroed block map. Null when
  // the URL is unreachable, gives no size or a size out of range, is not plain http, the
  // connection fails or memory is short; the session's handles are closed then.
  static std::shared_ptr<HttpStreamState> Open(const std::u16string& url, std::unique_ptr<HttpSession> session);

  HttpStreamState(const HttpStreamState&) = delete;
  HttpStreamState& operator=(const HttpStreamState&) = delete;

  uint32_t Size() const { return size_; }
  uint32_t BlockCount() const { return blocks_; }
  bool HasBlock(uint32_t block) const;
  // Byte i of the block map (bit b set: block 8i + b is there).
  uint8_t MapByte(uint32_t index) const;
  // The image; only the ranges of blocks that are there hold the file's bytes.
  const uint8_t* Image() const { return image_.get(); }

  // Fetches block n unless it is there already: one ranged GET whose reply must deliver the
  // whole block. Safe from any thread.
  bool FetchBlock(uint32_t block);

  // Reads up to `count` bytes at `position` through the image (fetching what is missing, or in
  // plan mode recording it instead: such a read copies only when every block is there). The
  // byte count (0 at or past the end), or -1 when a fetch fails or there is nowhere to copy
  // to. Reading thread only.
  int64_t ReadSpan(uint32_t position, void* destination, uint32_t count);

  // The current position of the stream that owns the state (reading thread only).
  uint32_t position = 0;

 private:
  HttpStreamState() = default;
  void RecordInPlan(uint32_t block);

  std::unique_ptr<HttpSession> session_;
  std::unique_ptr<uint8_t[]> image_;
  std::unique_ptr<std::atomic<uint8_t>[]> map_;
  uint32_t size_ = 0;
  uint32_t blocks_ = 0;
  std::mutex fetch_lock_;
};

// Reading at a given position, without the stream's position or error flag: with an out count,
// 1 on success and the count stored; without, the count read; 0 on failure.
uint32_t ReadAt(HttpStreamState& state, uint32_t position, void* destination, uint32_t count, uint32_t* outCount);

class RStream {
 public:
  enum Kind : uint8_t { kNone = 0, kFile = 1, kHttp = 2 };

  RStream() = default;
  RStream(const RStream&) = delete;
  RStream& operator=(const RStream&) = delete;
  ~RStream() { Close(); }

  // Closes the stream, then reads the open file `file` (which stays the caller's to close).
  // A null handle leaves the stream kind 0 with its error flag set.
  bool BindFile(RFileHandle file);
  // Closes the stream, then opens the URL (8-bit characters, widened one to one) as an HTTP
  // stream. On failure the stream stays kind 0 with its error flag set.
  bool OpenUrl(const char* url);
  bool OpenUrl(const std::u16string& url);

  // With an out count: 1 on success and the count read stored, 0 on failure. Without: the
  // count read, 0 on failure or at the end. Reads at the end read 0 bytes and succeed.
  uint32_t Read(void* destination, uint32_t count, uint32_t* outCount);
  // Origin 0 start, 1 current, 2 end. The new position or -1; an HTTP stream's position
  // stays within 0..size.
  int64_t Seek(int64_t offset, int origin);
  int64_t Tell();
  bool EndOfStream();
  // Kind 2 releases the state (handles, image, map), kind 1 forgets the handle; the stream
  // becomes kind 0 with its error flag cleared.
  void Close();

  uint8_t kind() const { return kind_; }
  bool error() const { return error_ != 0; }
  RFileHandle file() const { return file_; }
  const std::shared_ptr<HttpStreamState>& http() const { return http_; }

 private:
  uint32_t Fail(uint32_t* outCount);

  RFileHandle file_ = nullptr;
  std::shared_ptr<HttpStreamState> http_;
  uint8_t kind_ = kNone;
  uint8_t error_ = 0;
};

// The two process-wide streams: the AVI source's and the QuickTime source's.
RStream& AviStream();
RStream& QuickTimeStream();

}  // namespace crv
