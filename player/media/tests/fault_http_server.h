// A small HTTP/1.1 server on loopback that misbehaves on purpose, for the Windows stream tests.
// It serves one 20,000-byte file under several names, the name choosing the behaviour:
//
//   /honest.avi    ranges answered 206 with exactly the bytes asked
//   /pieces.avi    the same, the body sent in four pieces with pauses between them
//   /short.avi     ranges answered 206 with 100 bytes fewer than asked (and a length to match)
//   /drop.avi      ranges answered 206 with the full length announced, half sent, then dropped
//   /norange.avi   the Range header ignored: 200 with the whole file
//   /shifted.avi   ranges answered 206 with as many bytes as asked but one byte later, the
//                  Content-Range saying so (the last block is answered honestly)
//   /nolength.avi  the plain GET answered 200 without Content-Length, closing the connection
//   /huge.avi      the plain GET answered with a Content-Length that wraps in 32 bits
//   /stall.avi     ranges answered honestly until SetFaultAfter's count of ranged requests
//                  (over all names) was reached; then no answer at all until the server stops
//   /late-drop.avi the same, but then the full length announced, half sent and dropped
//   anything else  404
//
// Plain GETs (no Range) of the first six get 200 with the whole file. Every request head is
// kept with the number of the connection it came on. The server lives at most kLifetimeMs,
// handles at most kMaxConnections connections and kMaxRequests requests per connection.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace crv_test {

class FaultHttpServer {
 public:
  static constexpr int kLifetimeMs = 90000;
  static constexpr int kMaxConnections = 64;
  static constexpr int kMaxRequests = 200;
  static constexpr size_t kFileSize = 20000;

  struct Request {
    int connection = 0;
    std::string head;  // request line and headers, CR LF separated, without the blank line
  };

  FaultHttpServer();
  ~FaultHttpServer() { Stop(); }

  // Before Start: the file served (a movie, say) in place of the made-up one.
  void SetData(std::vector<uint8_t> data) { data_ = std::move(data); }
  void SetFaultAfter(int rangedRequests) { faultAfter_ = rangedRequests; }

  bool Start();
  void Stop();
  uint16_t Port() const { return port_; }
  std::string Url(const char* name) const;
  const std::vector<uint8_t>& Data() const { return data_; }
  std::vector<Request> Requests();

 private:
  void AcceptLoop();
  void Serve(uintptr_t socket, int connection);
  bool Answer(uintptr_t socket, const std::string& head);

  std::vector<uint8_t> data_;
  uintptr_t listener_ = ~uintptr_t{0};
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  std::mutex lock_;
  std::vector<std::thread> workers_;
  std::vector<Request> requests_;
  bool started_ = false;
  std::atomic<int> rangedRequests_{0};
  int faultAfter_ = 1 << 30;
};

}  // namespace crv_test
