// A fake HTTP server behind the stream's session seam: it serves a byte vector, answers the
// range header text it is sent (so a wrong header text gives wrong bytes), records every
// request, and can be told to misbehave.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "player/media/http_session.h"

namespace crv_test {

struct FakeServer {
  std::vector<uint8_t> data;
  int64_t sizeReply = -2;  // what QuerySize answers; -2: the data's size
  bool connects = true;
  // Misbehaviour of the range replies.
  uint32_t shortBy = 0;           // deliver this many bytes fewer than asked
  bool transportError = false;    // the request fails outright
  bool ignoreRange = false;       // 200 with the file from its first byte
  uint32_t status = 206;          // the status of a served range
  uint32_t shiftBy = 0;           // serve (and announce) the range starting this much later
  // Slow replies: garbage first, then the bytes in pieces with pauses between them.
  bool piecewise = false;
  std::chrono::microseconds pause{0};
  // From the range request numbered `failFrom` on (counting from 0) every request fails, and
  // from `stallFrom` on every request first waits `stall` (a server that stops answering).
  std::atomic<int> failFrom{-1};
  std::atomic<int> stallFrom{-1};
  std::chrono::milliseconds stall{0};
  std::atomic<int> rangeRequests{0};

  std::mutex lock;
  std::vector<std::u16string> headers;
  std::vector<int> fetchCount;  // per block of 16,384 bytes
  std::atomic<int> inFlight{0};
  std::atomic<int> maxInFlight{0};
  std::atomic<int> sessionsLive{0};
  std::u16string lastUrl;

  void Fill(size_t size) {
    data.resize(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    fetchCount.assign(size / 16384 + 2, 0);
  }
  std::vector<std::u16string> Headers() {
    std::lock_guard<std::mutex> hold(lock);
    return headers;
  }
};

inline std::u16string Decimal16(uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// "Range: bytes=<a>-<b>" exactly, or false.
inline bool ParseRange(const std::u16string& header, uint64_t* first, uint64_t* last) {
  const std::u16string prefix = u"Range: bytes=";
  if (header.compare(0, prefix.size(), prefix) != 0) return false;
  size_t i = prefix.size();
  auto number = [&](uint64_t* value) {
    size_t start = i;
    *value = 0;
    while (i < header.size() && header[i] >= u'0' && header[i] <= u'9') *value = *value * 10 + (header[i++] - u'0');
    return i > start;
  };
  if (!number(first) || i >= header.size() || header[i++] != u'-' || !number(last)) return false;
  return i == header.size() && *first <= *last;
}

class FakeSession final : public crv::HttpSession {
 public:
  explicit FakeSession(std::shared_ptr<FakeServer> server) : server_(std::move(server)) { ++server_->sessionsLive; }
  ~FakeSession() override { --server_->sessionsLive; }

  int64_t QuerySize(const std::u16string& url) override {
    std::lock_guard<std::mutex> hold(server_->lock);
    server_->lastUrl = url;
    return server_->sizeReply == -2 ? static_cast<int64_t>(server_->data.size()) : server_->sizeReply;
  }
  bool Connect(const std::u16string&) override { return server_->connects; }

  crv::RangeReply GetRange(const std::u16string& header, uint8_t* destination, uint32_t length) override {
    FakeServer& s = *server_;
    const int now = ++s.inFlight;
    for (int seen = s.maxInFlight.load(); now > seen && !s.maxInFlight.compare_exchange_weak(seen, now);) {
    }
    crv::RangeReply reply;
    uint64_t first = 0, last = 0;
    {
      std::lock_guard<std::mutex> hold(s.lock);
      s.headers.push_back(header);
      if (ParseRange(header, &first, &last) && first / 16384 < s.fetchCount.size()) ++s.fetchCount[first / 16384];
    }
    const int number = s.rangeRequests++;
    if (s.stallFrom >= 0 && number >= s.stallFrom) std::this_thread::sleep_for(s.stall);
    if (s.transportError || (s.failFrom >= 0 && number >= s.failFrom)) {
      --s.inFlight;
      return reply;
    }
    reply.completed = true;
    if (!ParseRange(header, &first, &last) || first >= s.data.size()) {
      reply.status = 416;
    } else {
      if (s.ignoreRange) {
        first = 0;
        last = s.data.size() - 1;
      }
      if (!s.ignoreRange && s.shiftBy) {
        first += s.shiftBy;
        last += s.shiftBy;
      }
      if (last >= s.data.size()) last = s.data.size() - 1;
      reply.status = s.ignoreRange ? 200 : s.status;
      uint64_t body = first <= last ? last - first + 1 : 0;
      body = body > s.shortBy ? body - s.shortBy : 0;
      const uint32_t n = static_cast<uint32_t>(body < length ? body : length);
      // What an honest server announces: the stretch it sends.
      if (!s.ignoreRange && n > 0)
        reply.contentRange = u"bytes " + Decimal16(first) + u"-" + Decimal16(first + n - 1) + u"/" +
                             Decimal16(s.data.size());
      if (s.piecewise) {
        std::memset(destination, 0xEE, length);
        for (uint32_t done = 0; done < n;) {
          const uint32_t piece = n - done < 4096 ? n - done : 4096;
          std::this_thread::sleep_for(s.pause);
          std::memcpy(destination + done, s.data.data() + first + done, piece);
          done += piece;
        }
      } else {
        std::memcpy(destination, s.data.data() + first, n);
      }
      reply.received = n;
    }
    --s.inFlight;
    return reply;
  }

 private:
  std::shared_ptr<FakeServer> server_;
};

// Puts a fake server behind every stream opened while it lives.
class FakeServerScope {
 public:
  FakeServerScope() : server(std::make_shared<FakeServer>()) {
    auto s = server;
    old_ = crv::SetHttpSessionMaker([s] { return std::unique_ptr<crv::HttpSession>(new FakeSession(s)); });
  }
  ~FakeServerScope() { crv::SetHttpSessionMaker(std::move(old_)); }
  std::shared_ptr<FakeServer> server;

 private:
  crv::HttpSessionMaker old_;
};

}  // namespace crv_test
