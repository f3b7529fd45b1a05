#include "player/media/rstream.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include "player/base/text16.h"
#include "player/media/preload_plan.h"
#include "player/media/stream_file.h"

namespace crv {
namespace {

HttpSessionMaker& SessionMaker() {
  static HttpSessionMaker maker;
  return maker;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

HttpSessionMaker SetHttpSessionMaker(HttpSessionMaker maker) {
  HttpSessionMaker old = std::move(SessionMaker());
  SessionMaker() = std::move(maker);
  return old;
}

std::unique_ptr<HttpSession> MakeHttpSession() {
  const HttpSessionMaker& maker = SessionMaker();
  return maker ? maker() : MakePlatformHttpSession();
}

// --- blocks and replies ----------------------------------------------------------------------

bool StreamSizeAccepted(int64_t size) { return size >= 1 && size < kStreamSizeLimit; }

uint32_t StreamBlockCount(uint32_t size) { return size / kStreamBlockSize + (size % kStreamBlockSize ? 1 : 0); }

BlockSpan StreamBlockSpan(uint32_t size, uint32_t block) {
  BlockSpan span;
  if (block >= StreamBlockCount(size)) return span;
  span.offset = block * kStreamBlockSize;
  span.length = std::min(kStreamBlockSize, size - span.offset);
  return span;
}

std::u16string RangeHeaderText(uint32_t offset, uint32_t length) {
  const uint64_t last = static_cast<uint64_t>(offset) + length - 1;
  return u"Range: bytes=" + Decimal(offset) + u"-" + Decimal(static_cast<long long>(last));
}

namespace {

// Decimal digits at text[*i], moved past; false when there are none or they overflow.
bool ParseNumber(const std::u16string& text, size_t* i, uint64_t* value) {
  const size_t start = *i;
  *value = 0;
  for (; *i < text.size() && text[*i] >= u'0' && text[*i] <= u'9'; ++*i) {
    if (*value > (UINT64_MAX - 9) / 10) return false;
    *value = *value * 10 + (text[*i] - u'0');
  }
  return *i > start;
}

}  // namespace

bool ParseContentRange(const std::u16string& text, uint64_t* first, uint64_t* last) {
  size_t i = 0, end = text.size();
  while (i < end && IsBlank(text[i])) ++i;
  while (end > i && IsBlank(text[end - 1])) --end;
  const std::u16string unit = u"bytes ";
  if (text.compare(i, unit.size(), unit) != 0) return false;
  i += unit.size();
  const std::u16string value = text.substr(0, end);
  uint64_t total = 0;
  if (!ParseNumber(value, &i, first) || i >= end || value[i++] != u'-' || !ParseNumber(value, &i, last) ||
      i >= end || value[i++] != u'/')
    return false;
  if (i < end && value[i] == u'*' && i + 1 == end) return *first <= *last;
  return ParseNumber(value, &i, &total) && i == end && *first <= *last && *last < total;
}

bool RangeReplyAccepted(uint32_t status, const std::u16string& contentRange, const BlockSpan& span) {
  if (status == 200) return span.offset == 0;
  if (status != 206 || span.length == 0) return false;
  // A 206 of some other stretch (a server that moved or merged the range) is not the block.
  uint64_t first = 0, last = 0;
  return ParseContentRange(contentRange, &first, &last) && first == span.offset &&
         last == uint64_t{span.offset} + span.length - 1;
}

int64_t ParseContentLength(const std::u16string& text) {
  size_t i = 0, end = text.size();
  while (i < end && IsBlank(text[i])) ++i;
  while (end > i && IsBlank(text[end - 1])) --end;
  if (i == end) return -1;
  int64_t value = 0;
  for (; i < end; ++i) {
    const char16_t c = text[i];
    if (c < u'0' || c > u'9') return -1;
    if (value > (INT64_MAX - 9) / 10) {
      value = INT64_MAX;  // keep checking the rest is digits
      continue;
    }
    value = value * 10 + (c - u'0');
  }
  return value;
}

// --- HTTP stream state -------------------------------------------------------------------------

std::shared_ptr<HttpStreamState> HttpStreamState::Open(const std::u16string& url,
                                                       std::unique_ptr<HttpSession> session) {
  if (!session) return nullptr;
  const int64_t size = session->QuerySize(url);
  if (!StreamSizeAccepted(size)) return nullptr;
  if (!session->Connect(url)) return nullptr;

  std::shared_ptr<HttpStreamState> state(new (std::nothrow) HttpStreamState);
  if (!state) return nullptr;
  state->size_ = static_cast<uint32_t>(size);
  state->blocks_ = StreamBlockCount(state->size_);
  state->image_.reset(new (std::nothrow) uint8_t[state->size_]());
  const uint32_t mapBytes = (state->blocks_ + 7) / 8;
  state->map_.reset(new (std::nothrow) std::atomic<uint8_t>[mapBytes]);
  if (!state->image_ || !state->map_) return nullptr;
  for (uint32_t i = 0; i < mapBytes; ++i) state->map_[i].store(0, std::memory_order_relaxed);
  state->session_ = std::move(session);
  return state;
}

bool HttpStreamState::HasBlock(uint32_t block) const {
  if (block >= blocks_) return false;
  // Acquire: a set bit makes the block's bytes, written before it was set, visible here.
  return (map_[block / 8].load(std::memory_order_acquire) >> (block % 8)) & 1;
}

uint8_t HttpStreamState::MapByte(uint32_t index) const {
  return index < (blocks_ + 7) / 8 ? map_[index].load(std::memory_order_acquire) : 0;
}

bool HttpStreamState::FetchBlock(uint32_t block) {
  if (block >= blocks_) return false;
  // One fetch at a time: the session is one kept connection, and the block the other thread
  // is fetching is not fetched a second time over bytes that may already be read.
  std::lock_guard<std::mutex> hold(fetch_lock_);
  if (HasBlock(block)) return true;
  const BlockSpan span = StreamBlockSpan(size_, block);
  // Straight into the image: no reader looks at a block whose bit is clear.
  const RangeReply reply =
      session_->GetRange(RangeHeaderText(span.offset, span.length), image_.get() + span.offset, span.length);
  if (!reply.completed || !RangeReplyAccepted(reply.status, reply.contentRange, span) || reply.received != span.length)
    return false;
  map_[block / 8].fetch_or(static_cast<uint8_t>(1u << (block % 8)), std::memory_order_release);
  return true;
}

void HttpStreamState::RecordInPlan(uint32_t block) {
  if (CurrentPlanMode() == kPlanRequested) SetPlanMode(AllocatePlan(blocks_) ? kPlanning : kPlanFailed);
  if (CurrentPlanMode() != kPlanning) return;
  PreloadPlan* plan = CurrentPlan();
  if (!plan) {
    SetPlanMode(kPlanFailed);
    return;
  }
  if (!plan->Contains(block) && !plan->Record(block)) SetPlanMode(kPlanFailed);
}

int64_t HttpStreamState::ReadSpan(uint32_t position, void* destination, uint32_t count) {
  if (position >= size_ || count == 0) return 0;
  const uint32_t n = std::min(count, size_ - position);
  const void* planned = PlannedStream();
  const bool planning = CurrentPlanMode() != kPlanOff && (!planned || planned == this);
  const uint32_t first = position / kStreamBlockSize;
  const uint32_t last = (position + n - 1) / kStreamBlockSize;  // below size: no overflow
  bool missing = false;
  for (uint32_t block = first; block <= last; ++block) {
    if (HasBlock(block)) continue;
    if (planning) {
      RecordInPlan(block);
      missing = true;
    } else if (!FetchBlock(block)) {
      return -1;
    }
  }
  // A planning read copies what is there (the container's header, read again to plan) and
  // nothing of a stretch that has not arrived.
  if (planning && (missing || !destination)) return n;
  if (!destination) return -1;
  std::memcpy(destination, image_.get() + position, n);
  return n;
}

uint32_t ReadAt(HttpStreamState& state, uint32_t position, void* destination, uint32_t count, uint32_t* outCount) {
  const int64_t n = state.ReadSpan(position, destination, count);
  if (outCount) *outCount = n > 0 ? static_cast<uint32_t>(n) : 0;
  if (n < 0) return 0;
  if (outCount) return 1;
  return static_cast<uint32_t>(n);
}

// --- the stream ----------------------------------------------------------------------------

uint32_t RStream::Fail(uint32_t* outCount) {
  error_ = 1;
  if (outCount) *outCount = 0;
  return 0;
}

bool RStream::BindFile(RFileHandle file) {
  Close();
  if (!file) {
    error_ = 1;
    return false;
  }
  file_ = file;
  kind_ = kFile;
  return true;
}

bool RStream::OpenUrl(const char* url) {
  std::u16string wide;
  if (url)
    for (const char* p = url; *p; ++p) wide += static_cast<char16_t>(static_cast<unsigned char>(*p));
  return OpenUrl(wide);
}

bool RStream::OpenUrl(const std::u16string& url) {
  Close();
  http_ = HttpStreamState::Open(url, MakeHttpSession());
  if (!http_) {
    error_ = 1;
    return false;
  }
  kind_ = kHttp;
  return true;
}

uint32_t RStream::Read(void* destination, uint32_t count, uint32_t* outCount) {
  if (kind_ == kFile) {
    uint32_t got = 0;
    if ((count > 0 && !destination) || !StreamFileRead(file_, destination, count, &got)) return Fail(outCount);
    if (outCount) {
      *outCount = got;
      return 1;
    }
    return got;
  }
  if (kind_ != kHttp) return Fail(outCount);
  const int64_t n = http_->ReadSpan(http_->position, destination, count);
  if (n < 0) return Fail(outCount);
  http_->position += static_cast<uint32_t>(n);  // also in plan mode
  if (outCount) {
    *outCount = static_cast<uint32_t>(n);
    return 1;
  }
  return static_cast<uint32_t>(n);
}

int64_t RStream::Seek(int64_t offset, int origin) {
  if (kind_ == kFile) {
    const int64_t now = StreamFileSeek(file_, offset, origin);
    if (now < 0) error_ = 1;
    return now < 0 ? -1 : now;
  }
  if (kind_ != kHttp || origin < 0 || origin > 2) {
    error_ = 1;
    return -1;
  }
  const int64_t size = http_->Size();
  const int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(http_->position) : size;
  // Within 0..size, worked out without forming base + offset for any offset.
  if (offset < -base || offset > size - base) {
    error_ = 1;
    return -1;
  }
  http_->position = static_cast<uint32_t>(base + offset);
  return http_->position;
}

int64_t RStream::Tell() {
  if (kind_ == kHttp) return http_->position;
  if (kind_ == kFile) {
    const int64_t now = StreamFileSeek(file_, 0, 1);
    if (now >= 0) return now;
  }
  error_ = 1;
  return -1;
}

bool RStream::EndOfStream() {
  if (kind_ == kHttp) return http_->position == http_->Size();
  if (kind_ == kFile) {
    const int64_t now = StreamFileSeek(file_, 0, 1);
    const int64_t size = StreamFileSize(file_);
    if (now >= 0 && size >= 0) return now >= size;
    error_ = 1;
  }
  return true;
}

void RStream::Close() {
  http_.reset();
  file_ = nullptr;
  kind_ = kNone;
  error_ = 0;
}

RStream& AviStream() {
  static RStream stream;
  return stream;
}

RStream& QuickTimeStream() {
  static RStream stream;
  return stream;
}

}  // namespace crv
