// HTTP streams over WinINet: one internet handle and one kept connection per stream, a
// request handle per block.
#include <windows.h>
#include <wininet.h>
#include "player/base/win16.h"
#include "player/media/http_session.h"
#include "player/media/rstream.h"

namespace crv {
namespace {

constexpr wchar_t kAgent[] = L"Corvane Cinema";
// The stream keeps its own image of the file, so WinINet's cache is neither read nor filled.
constexpr DWORD kFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_RELOAD |
                         INTERNET_FLAG_NO_CACHE_WRITE;

DWORD StatusOf(HINTERNET request) {
  DWORD status = 0, bytes = sizeof status;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &bytes, nullptr)) return 0;
  return status;
}

class WinInetSession final : public HttpSession {
 public:
  ~WinInetSession() override {
    if (connection_) InternetCloseHandle(connection_);
    if (internet_) InternetCloseHandle(internet_);
  }

  int64_t QuerySize(const std::u16string& url) override {
    if (!internet_) internet_ = InternetOpenW(kAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet_) return -1;
    HINTERNET file = InternetOpenUrlW(internet_, W(url.c_str()), nullptr, 0, kFlags | INTERNET_FLAG_NO_UI, 0);
    if (!file) return -1;
    // The size comes from the reply's Content-Length: moving the file pointer to the end is not
    // supported everywhere (error 12016), and an error page has a length too, hence the status.
    int64_t size = -1;
    if (StatusOf(file) == 200) {
      wchar_t text[32] = {};
      DWORD bytes = sizeof text - sizeof text[0];
      if (HttpQueryInfoW(file, HTTP_QUERY_CONTENT_LENGTH, text, &bytes, nullptr)) size = ParseContentLength(U(text));
    }
    InternetCloseHandle(file);
    return size;
  }

  bool Connect(const std::u16string& url) override {
    if (!internet_) return false;
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;  // non-zero lengths: point into the URL
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(W(url.c_str()), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP || !parts.lpszHostName || parts.dwHostNameLength == 0) return false;
    host_.assign(U(parts.lpszHostName), parts.dwHostNameLength);
    if (parts.lpszUrlPath) path_.assign(U(parts.lpszUrlPath), parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) {
      // The query goes with the path; a fragment never leaves the client.
      std::u16string extra(U(parts.lpszExtraInfo), parts.dwExtraInfoLength);
      path_ += extra.substr(0, extra.find(u'#'));
    }
    if (path_.empty()) path_ = u"/";
    port_ = parts.nPort;
    connection_ = InternetConnectW(internet_, W(host_.c_str()), port_, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    return connection_ != nullptr;
  }

  RangeReply GetRange(const std::u16string& header, uint8_t* destination, uint32_t length) override {
    RangeReply reply;
    if (!connection_) return reply;
    const wchar_t* accept[] = {L"*/*", nullptr};
    HINTERNET request = HttpOpenRequestW(connection_, nullptr, W(path_.c_str()), nullptr, nullptr, accept, kFlags, 0);
    if (!request) return reply;
    if (HttpSendRequestW(request, W(header.c_str()), static_cast<DWORD>(header.size()), nullptr, 0)) {
      reply.status = StatusOf(request);
      reply.completed = true;
      wchar_t range[96] = {};
      DWORD bytes = sizeof range - sizeof range[0];
      if (HttpQueryInfoW(request, HTTP_QUERY_CONTENT_RANGE, range, &bytes, nullptr)) reply.contentRange = U(range);
      // A reply may arrive in pieces; each read either adds bytes or reports the body's end.
      while (reply.received < length) {
        DWORD got = 0;
        if (!InternetReadFile(request, destination + reply.received, length - reply.received, &got)) {
          reply.completed = false;
          break;
        }
        if (got == 0) break;
        reply.received += got;
      }
    }
    InternetCloseHandle(request);
    return reply;
  }

 private:
  HINTERNET internet_ = nullptr;
  HINTERNET connection_ = nullptr;
  std::u16string host_;
  INTERNET_PORT port_ = 0;
  std::u16string path_;
};

}  // namespace

std::unique_ptr<HttpSession> MakePlatformHttpSession() { return std::unique_ptr<HttpSession>(new WinInetSession); }

}  // namespace crv
