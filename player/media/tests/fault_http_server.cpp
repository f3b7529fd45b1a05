#include "player/media/tests/fault_http_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace crv_test {
namespace {

constexpr int kPollMs = 100;

bool WaitReadable(SOCKET s, const std::atomic<bool>& stop, std::chrono::steady_clock::time_point deadline) {
  while (!stop.load() && std::chrono::steady_clock::now() < deadline) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait = {0, kPollMs * 1000};
    const int ready = select(0, &set, nullptr, nullptr, &wait);
    if (ready < 0) return false;
    if (ready > 0) return true;
  }
  return false;
}

bool SendAll(SOCKET s, const char* bytes, size_t count) {
  while (count > 0) {
    const int sent = send(s, bytes, static_cast<int>(count > 65536 ? 65536 : count), 0);
    if (sent <= 0) return false;
    bytes += sent;
    count -= static_cast<size_t>(sent);
  }
  return true;
}

std::string HeaderValue(const std::string& head, const std::string& name) {
  // Header names without case.
  std::string lower;
  for (char c : head) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  std::string key = "\r\n";
  for (char c : name) key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  key += ":";
  const size_t at = lower.find(key);
  if (at == std::string::npos) return "";
  size_t from = at + key.size();
  while (from < head.size() && head[from] == ' ') ++from;
  return head.substr(from, head.find("\r\n", from) - from);
}

}  // namespace

FaultHttpServer::FaultHttpServer() : data_(kFileSize) {
  for (size_t i = 0; i < data_.size(); ++i) data_[i] = static_cast<uint8_t>((i * 31 + i / 509) & 0xFF);
}

bool FaultHttpServer::Start() {
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
  started_ = true;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(s);
    return false;
  }
  listener_ = s;
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void FaultHttpServer::Stop() {
  stop_.store(true);
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> hold(lock_);
    workers.swap(workers_);
  }
  for (std::thread& t : workers) t.join();
  if (listener_ != ~uintptr_t{0}) closesocket(static_cast<SOCKET>(listener_));
  listener_ = ~uintptr_t{0};
  if (started_) WSACleanup();
  started_ = false;
}

std::string FaultHttpServer::Url(const char* name) const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
}

std::vector<FaultHttpServer::Request> FaultHttpServer::Requests() {
  std::lock_guard<std::mutex> hold(lock_);
  return requests_;
}

void FaultHttpServer::AcceptLoop() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLifetimeMs);
  const SOCKET listener = static_cast<SOCKET>(listener_);
  for (int connection = 1; connection <= kMaxConnections;) {
    if (!WaitReadable(listener, stop_, deadline)) break;
    SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    std::lock_guard<std::mutex> hold(lock_);
    const int number = connection++;
    workers_.emplace_back([this, client, number] { Serve(client, number); });
  }
  stop_.store(true);  // past the lifetime or the connection budget: everything ends
}

void FaultHttpServer::Serve(uintptr_t socket, int connection) {
  const SOCKET s = static_cast<SOCKET>(socket);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLifetimeMs);
  // A client that stops reading cannot hold a send (and so Stop) for long.
  const DWORD sendLimitMs = 5000;
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendLimitMs), sizeof sendLimitMs);
  std::string pending;
  for (int served = 0; served < kMaxRequests;) {
    const size_t end = pending.find("\r\n\r\n");
    if (end == std::string::npos) {
      if (pending.size() > 65536 || !WaitReadable(s, stop_, deadline)) break;
      char chunk[4096];
      const int got = recv(s, chunk, sizeof chunk, 0);
      if (got <= 0) break;
      pending.append(chunk, static_cast<size_t>(got));
      continue;
    }
    const std::string head = pending.substr(0, end);
    pending.erase(0, end + 4);
    {
      std::lock_guard<std::mutex> hold(lock_);
      requests_.push_back({connection, head});
    }
    ++served;
    if (!Answer(socket, head)) break;
  }
  shutdown(s, SD_BOTH);
  closesocket(s);
}

// Sends the reply to one request; false when the connection is to end after it.
bool FaultHttpServer::Answer(uintptr_t socket, const std::string& head) {
  const SOCKET s = static_cast<SOCKET>(socket);
  const size_t pathStart = head.find(' ') + 1;
  const std::string path = head.substr(pathStart, head.find(' ', pathStart) - pathStart);
  const std::string range = HeaderValue(head, "Range");
  const std::string total = std::to_string(data_.size());

  auto reply = [&](const std::string& status, const std::string& headers, const uint8_t* body, size_t bodyBytes) {
    const std::string text = "HTTP/1.1 " + status + "\r\n" + headers + "\r\n";
    return SendAll(s, text.data(), text.size()) &&
           SendAll(s, reinterpret_cast<const char*>(body), bodyBytes);
  };
  auto whole = [&] {
    return reply("200 OK", "Content-Type: application/octet-stream\r\nContent-Length: " + total + "\r\n", data_.data(),
                 data_.size());
  };

  const bool known = path == "/honest.avi" || path == "/pieces.avi" || path == "/short.avi" || path == "/drop.avi" ||
                     path == "/norange.avi" || path == "/shifted.avi" || path == "/stall.avi" ||
                     path == "/late-drop.avi";
  if (path == "/nolength.avi") {
    reply("200 OK", "Content-Type: application/octet-stream\r\nConnection: close\r\n", data_.data(), data_.size());
    return false;
  }
  if (path == "/huge.avi") {
    reply("200 OK", "Content-Type: application/octet-stream\r\nContent-Length: 4294967396\r\n", data_.data(),
          data_.size());
    return false;
  }
  if (!known) return reply("404 Not Found", "Content-Length: 9\r\n", reinterpret_cast<const uint8_t*>("not found"), 9);
  if (range.empty() || path == "/norange.avi") return whole();

  unsigned long first = 0, last = 0;
  if (std::sscanf(range.c_str(), "bytes=%lu-%lu", &first, &last) != 2 || first > last || first >= data_.size())
    return reply("416 Range Not Satisfiable", "Content-Length: 0\r\n", nullptr, 0);
  if (last >= data_.size()) last = static_cast<unsigned long>(data_.size() - 1);
  size_t length = last - first + 1;
  if (path == "/short.avi") {
    length = length > 100 ? length - 100 : 1;
    last = static_cast<unsigned long>(first + length - 1);
  }
  if (path == "/shifted.avi" && first + length < data_.size()) {
    ++first;  // as many bytes as asked, one byte later, and said so
    ++last;
  }
  const std::string headers = "Content-Type: application/octet-stream\r\nContent-Range: bytes " +
                              std::to_string(first) + "-" + std::to_string(last) + "/" + total +
                              "\r\nContent-Length: " + std::to_string(path == "/drop.avi" ? last - first + 1 : length) +
                              "\r\n";
  const uint8_t* body = data_.data() + first;
  const bool late = rangedRequests_++ >= faultAfter_;
  if (late && path == "/stall.avi") {
    // Silent until the server stops (bounded by its lifetime like every wait here).
    while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return false;
  }
  if (path == "/drop.avi" || (late && path == "/late-drop.avi")) {
    reply("206 Partial Content", headers, body, length / 2);
    return false;  // gone mid-block
  }
  if (path == "/pieces.avi") {
    if (!reply("206 Partial Content", headers, nullptr, 0)) return false;
    for (size_t done = 0, piece = (length + 3) / 4; done < length; done += piece) {
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
      if (!SendAll(s, reinterpret_cast<const char*>(body + done), piece < length - done ? piece : length - done))
        return false;
    }
    return true;
  }
  return reply("206 Partial Content", headers, body, length);
}

}  // namespace crv_test
