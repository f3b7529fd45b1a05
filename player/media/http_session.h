// The HTTP side of a byte stream: the few requests an HTTP stream makes, behind one object per
// stream that owns the platform's handles. The Windows build makes them over WinINet
// (http_session_win.cpp); native tests put a fake of their own in its place.
//
// A session is used by one stream only and is never called from two threads at once: the
// stream serialises its block fetches (rstream.cpp).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace crv {

// What one ranged GET delivered.
struct RangeReply {
  bool completed = false;  // the request was sent and its reply read without a transport error
  uint32_t status = 0;     // the reply's HTTP status
  uint32_t received = 0;   // bytes placed at the destination
  std::u16string contentRange;  // the reply's Content-Range value, empty when it has none
};

class HttpSession {
 public:
  virtual ~HttpSession() = default;  // closes every handle the session holds

  // Opens the session and the URL, and learns the resource size from a successful reply.
  // -1 when the URL cannot be reached, the reply is not a success or it gives no size.
  virtual int64_t QuerySize(const std::u16string& url) = 0;

  // Splits the URL into host, port and path (plain http only) and connects to the host.
  virtual bool Connect(const std::u16string& url) = 0;

  // One GET of the connected path with `header` as its extra header text (no line terminator),
  // reading the reply's body into `destination` until `length` bytes are there or the body ends.
  virtual RangeReply GetRange(const std::u16string& header, uint8_t* destination, uint32_t length) = 0;
};

// Makes the session of a new HTTP stream; null when the platform has none.
using HttpSessionMaker = std::function<std::unique_ptr<HttpSession>()>;

// The platform's own sessions: WinINet in the Windows build, none natively.
std::unique_ptr<HttpSession> MakePlatformHttpSession();

// Replaces the maker that OpenUrl uses (an empty maker restores the platform's) and returns
// the one it replaced. Process-wide; set it before opening streams.
HttpSessionMaker SetHttpSessionMaker(HttpSessionMaker maker);
std::unique_ptr<HttpSession> MakeHttpSession();

}  // namespace crv
