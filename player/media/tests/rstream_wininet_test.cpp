// HTTP streams over WinINet against real servers on loopback: nginx (which honours Range),
// started and stopped by the suite, and a fault-injecting server of our own in this process.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "player/base/text16.h"
#include "player/media/rstream.h"
#include "player/media/tests/fault_http_server.h"

using namespace crv;
using crv_test::FaultHttpServer;

namespace {

using Clock = std::chrono::steady_clock;

// Starts a Linux program from under Wine (no handle comes back for those). False elsewhere.
bool StartLinuxProgram(const std::wstring& commandLine) {
  std::wstring line = commandLine;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(L"Z:\\bin\\bash", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  return true;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Waits (bounded) until the file exists and is not empty.
bool WaitForFile(const std::filesystem::path& path, int milliseconds) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  std::error_code error;
  while (Clock::now() < deadline) {
    if (std::filesystem::exists(path, error)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131 + i / 16384) & 0xFF);
  return bytes;
}

// One line of the nginx access log.
struct Logged {
  long connection = 0;
  long request = 0;
  std::string range;
  int status = 0;
  long bytes = 0;
  std::string agent;
  std::string accept;
};

std::vector<Logged> ParseLog(const std::string& text) {
  std::vector<Logged> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    Logged entry;
    std::istringstream fields(line);
    auto quoted = [&fields] {
      std::string value;
      fields >> std::ws;
      if (fields.get() != '"') return value;
      std::getline(fields, value, '"');
      return value;
    };
    fields >> entry.connection >> entry.request;
    entry.range = quoted();
    fields >> entry.status >> entry.bytes;
    entry.agent = quoted();
    entry.accept = quoted();
    lines.push_back(entry);
  }
  return lines;
}

class BytestreamNginx : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string name = "crv-stream-nginx-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(Clock::now().time_since_epoch().count());
    unixDir_ = "/tmp/" + name;
    dir_ = std::filesystem::path("Z:\\tmp") / name;
    std::error_code error;
    std::filesystem::create_directories(dir_ / "www", error);
    for (size_t size : {size_t{1}, size_t{16384}, size_t{20000}, size_t{kStreamSizeLimit - 1}, size_t{kStreamSizeLimit}}) {
      const std::vector<uint8_t> bytes = Pattern(size);
      std::ofstream(dir_ / "www" / ("b" + std::to_string(size) + ".avi"), std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::ofstream(dir_ / "www" / "b0.avi", std::ios::binary);
    if (!StartLinuxProgram(L"/bin/bash " + Widen(CRV_MEDIA_TEST_DIR "/nginx_loopback.sh start " + unixDir_))) {
      skipReason_ = "cannot start Linux programs here (not under Wine)";
      return;
    }
    if (!WaitForFile(dir_ / "status", 15000)) {
      skipReason_ = "the nginx helper did not report";
      return;
    }
    const std::string status = ReadText(dir_ / "status");
    if (status.rfind("absent", 0) == 0) {
      skipReason_ = "nginx is not installed";
      return;
    }
    if (status.rfind("running", 0) != 0) {
      failure_ = "nginx did not start: " + status;
      return;
    }
    port_ = std::stoi(ReadText(dir_ / "port"));
  }

  static void TearDownTestSuite() {
    if (port_ && StartLinuxProgram(L"/bin/bash " + Widen(CRV_MEDIA_TEST_DIR "/nginx_loopback.sh stop " + unixDir_)))
      WaitForFile(dir_ / "stopped", 10000);
    std::error_code error;
    std::filesystem::remove_all(dir_, error);
  }

  void SetUp() override {
    if (!skipReason_.empty()) GTEST_SKIP() << skipReason_;
    ASSERT_TRUE(failure_.empty()) << failure_;
    ASSERT_NE(port_, 0);
  }
  void TearDown() override { stream.Close(); }

  static std::string Url(const std::string& name) {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
  }
  // The ranged requests in the access log, once there are `count` of them (nginx writes a
  // line as it finishes a request). The plain GETs that learn the size are left out.
  static std::vector<Logged> Ranged(size_t count) {
    std::vector<Logged> lines;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    do {
      lines.clear();
      for (const Logged& line : ParseLog(ReadText(dir_ / "access.log")))
        if (line.range.rfind("bytes=", 0) == 0) lines.push_back(line);
      if (lines.size() >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (Clock::now() < deadline);
    return lines;
  }

  RStream stream;
  static inline std::filesystem::path dir_;
  static inline std::string unixDir_;
  static inline int port_ = 0;
  static inline std::string skipReason_;
  static inline std::string failure_;
};

}  // namespace

TEST_F(BytestreamNginx, SixteenKiBFileIsOneRangeOfOneBlock) {
  ASSERT_TRUE(stream.OpenUrl(Url("b16384.avi").c_str()));
  ASSERT_EQ(stream.http()->Size(), 16384u);
  EXPECT_EQ(stream.http()->BlockCount(), 1u);
  const size_t before = Ranged(0).size();
  std::vector<uint8_t> out(16384);
  uint32_t got = 0;
  ASSERT_EQ(stream.Read(out.data(), 16384, &got), 1u);
  EXPECT_EQ(got, 16384u);
  EXPECT_EQ(out, Pattern(16384));
  const std::vector<Logged> log = Ranged(before + 1);
  ASSERT_EQ(log.size(), before + 1);
  EXPECT_EQ(log.back().range, "bytes=0-16383");
  EXPECT_EQ(log.back().status, 206);
  EXPECT_EQ(log.back().bytes, 16384);
  EXPECT_EQ(log.back().agent, "Corvane Cinema");
  EXPECT_EQ(log.back().accept, "*/*");
}

TEST_F(BytestreamNginx, TwentyThousandBytesAreTwoBlocksOnOneKeptConnection) {
  ASSERT_TRUE(stream.OpenUrl(Url("b20000.avi").c_str()));
  EXPECT_EQ(stream.http()->BlockCount(), 2u);
  const size_t before = Ranged(0).size();
  ASSERT_EQ(stream.Seek(19990, 0), 19990);
  uint8_t tail[10];
  ASSERT_EQ(stream.Read(tail, 10, nullptr), 10u);
  ASSERT_EQ(stream.Seek(0, 0), 0);
  std::vector<uint8_t> all(20000);
  ASSERT_EQ(stream.Read(all.data(), 20000, nullptr), 20000u);
  EXPECT_EQ(all, Pattern(20000));
  EXPECT_FALSE(stream.error());

  const std::vector<Logged> log = Ranged(before + 2);
  ASSERT_EQ(log.size(), before + 2);
  const Logged& second = log[before];
  const Logged& first = log[before + 1];
  EXPECT_EQ(second.range, "bytes=16384-19999");
  EXPECT_EQ(second.status, 206);
  EXPECT_EQ(second.bytes, 3616);
  EXPECT_EQ(first.range, "bytes=0-16383");
  EXPECT_EQ(first.status, 206);
  EXPECT_EQ(first.connection, second.connection) << "the connection is kept between blocks";
  EXPECT_EQ(first.request, second.request + 1);
}

TEST_F(BytestreamNginx, SizesAtTheLimitsAndMissingFiles) {
  EXPECT_FALSE(stream.OpenUrl(Url("b6553600.avi").c_str()));
  EXPECT_EQ(stream.kind(), RStream::kNone);
  EXPECT_TRUE(stream.error());
  EXPECT_FALSE(stream.OpenUrl(Url("b0.avi").c_str()));
  EXPECT_FALSE(stream.OpenUrl(Url("missing.avi").c_str())) << "an error page's length is not a size";
  EXPECT_FALSE(stream.OpenUrl(("https://127.0.0.1:" + std::to_string(port_) + "/b20000.avi").c_str()));
  EXPECT_FALSE(stream.OpenUrl("http://127.0.0.1:1/b20000.avi")) << "nothing listens there";

  ASSERT_TRUE(stream.OpenUrl(Url("b1.avi").c_str()));
  uint8_t one = 0;
  EXPECT_EQ(stream.Read(&one, 5, nullptr), 1u);
  EXPECT_EQ(one, Pattern(1)[0]);

  ASSERT_TRUE(stream.OpenUrl(Url("b6553599.avi").c_str()));
  EXPECT_EQ(stream.http()->BlockCount(), 400u);
  const size_t before = Ranged(0).size();
  ASSERT_EQ(stream.Seek(-1, 2), 6553598);
  uint8_t last = 0;
  uint32_t got = 0;
  ASSERT_EQ(stream.Read(&last, 1, &got), 1u);
  EXPECT_EQ(last, Pattern(kStreamSizeLimit - 1).back());
  const std::vector<Logged> log = Ranged(before + 1);
  EXPECT_EQ(log.back().range, "bytes=6537216-6553598");
  EXPECT_EQ(log.back().bytes, 16383);
}

TEST_F(BytestreamNginx, OnlyPlainHttpIsConnected) {
  std::unique_ptr<HttpSession> session = MakePlatformHttpSession();
  ASSERT_GT(session->QuerySize(u"http://127.0.0.1:" + FromUtf8(std::to_string(port_)) + u"/b20000.avi"), 0);
  EXPECT_FALSE(session->Connect(u"https://127.0.0.1/b20000.avi"));
  EXPECT_FALSE(session->Connect(u"ftp://127.0.0.1/b20000.avi"));
  EXPECT_TRUE(session->Connect(u"http://127.0.0.1:" + FromUtf8(std::to_string(port_)) + u"/b20000.avi"));
}

TEST_F(BytestreamNginx, TheServersListenOn127001Only) {
  // 127.0.0.2 reaches this machine too: nothing of ours may answer there.
  EXPECT_FALSE(stream.OpenUrl(("http://127.0.0.2:" + std::to_string(port_) + "/b20000.avi").c_str()));
  FaultHttpServer faults;
  ASSERT_TRUE(faults.Start());
  EXPECT_FALSE(stream.OpenUrl(("http://127.0.0.2:" + std::to_string(faults.Port()) + "/honest.avi").c_str()));
  EXPECT_TRUE(stream.OpenUrl(faults.Url("honest.avi").c_str()));
}

TEST_F(BytestreamNginx, AChangedFileIsSeenAfreshNotFromACache) {
  auto write = [](size_t size, uint8_t salt) {
    std::vector<uint8_t> bytes = Pattern(size);
    for (uint8_t& b : bytes) b ^= salt;
    std::ofstream(dir_ / "www" / "changing.avi", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  };
  std::vector<uint8_t> expected = write(20000, 0);
  std::vector<uint8_t> all(30000);
  ASSERT_TRUE(stream.OpenUrl(Url("changing.avi").c_str()));
  ASSERT_EQ(stream.Read(all.data(), 20000, nullptr), 20000u);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), all.begin()));
  stream.Close();

  expected = write(30000, 0x5A);
  ASSERT_TRUE(stream.OpenUrl(Url("changing.avi").c_str()));
  EXPECT_EQ(stream.http()->Size(), 30000u) << "the size is learnt anew";
  ASSERT_EQ(stream.Read(all.data(), 30000, nullptr), 30000u);
  EXPECT_EQ(all, expected) << "the blocks are fetched anew";
}

TEST_F(BytestreamNginx, PreloadThreadAndReaderShareTheStream) {
  ASSERT_TRUE(stream.OpenUrl(Url("b6553599.avi").c_str()));
  std::shared_ptr<HttpStreamState> shared = stream.http();
  const size_t before = Ranged(0).size();
  std::atomic<int> failures{0};
  std::thread preload([&] {
    for (uint32_t b = 0; b < shared->BlockCount(); ++b)
      if (!shared->FetchBlock(b)) ++failures;
  });
  const std::vector<uint8_t> expected = Pattern(kStreamSizeLimit - 1);
  std::vector<uint8_t> piece(50000);
  size_t wrong = 0;
  for (uint32_t at = 0; at < expected.size(); at += 50000) {
    uint32_t got = 0;
    ASSERT_EQ(stream.Read(piece.data(), 50000, &got), 1u) << at;
    for (uint32_t i = 0; i < got; ++i) wrong += piece[i] != expected[at + i];
  }
  preload.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(std::memcmp(shared->Image(), expected.data(), expected.size()), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(Ranged(before + 400).size(), before + 400) << "each block fetched once";
}

// --- our fault-injecting server ------------------------------------------------------------

namespace {

class BytestreamFaults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new FaultHttpServer;
    started_ = server_->Start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(started_); }
  void TearDown() override { stream.Close(); }
  static std::string Url(const char* name) { return server_->Url(name); }
  static std::vector<FaultHttpServer::Request> Ranged(const std::string& path) {
    std::vector<FaultHttpServer::Request> out;
    for (const auto& r : server_->Requests())
      if (r.head.find("GET " + path + " ") == 0 && r.head.find("\r\nRange: ") != std::string::npos) out.push_back(r);
    return out;
  }

  RStream stream;
  static inline FaultHttpServer* server_ = nullptr;
  static inline bool started_ = false;
};

}  // namespace

TEST_F(BytestreamFaults, AnHonestServerSeesTheExactRequests) {
  ASSERT_TRUE(stream.OpenUrl(Url("honest.avi").c_str()));
  EXPECT_EQ(stream.http()->Size(), 20000u);
  std::vector<uint8_t> all(20000);
  ASSERT_EQ(stream.Read(all.data(), 20000, nullptr), 20000u);
  EXPECT_EQ(all, server_->Data());
  const auto ranged = Ranged("/honest.avi");
  ASSERT_EQ(ranged.size(), 2u);
  EXPECT_NE(ranged[0].head.find("\r\nRange: bytes=0-16383\r\n"), std::string::npos) << ranged[0].head;
  EXPECT_NE(ranged[1].head.find("\r\nRange: bytes=16384-19999"), std::string::npos) << ranged[1].head;
  EXPECT_NE(ranged[1].head.find("\r\nUser-Agent: Corvane Cinema"), std::string::npos);
  EXPECT_NE(ranged[1].head.find("\r\nAccept: */*"), std::string::npos);
  EXPECT_EQ(ranged[1].head.find("HTTP/1.1"), ranged[1].head.find(' ', 4) + 1);
  EXPECT_EQ(ranged[0].connection, ranged[1].connection) << "one kept connection for the blocks";
}

TEST_F(BytestreamFaults, ARangeAnsweredWithFewerBytesFailsTheRead) {
  ASSERT_TRUE(stream.OpenUrl(Url("short.avi").c_str()));
  uint8_t out[64];
  uint32_t got = 1;
  EXPECT_EQ(stream.Read(out, 64, &got), 0u);
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(stream.error());
  EXPECT_FALSE(stream.http()->HasBlock(0));
  EXPECT_EQ(stream.Tell(), 0);
}

TEST_F(BytestreamFaults, AConnectionDroppedMidBlockFailsTheRead) {
  ASSERT_TRUE(stream.OpenUrl(Url("drop.avi").c_str()));
  ASSERT_EQ(stream.Seek(16384, 0), 16384);
  uint8_t out[64];
  EXPECT_EQ(stream.Read(out, 64, nullptr), 0u);
  EXPECT_TRUE(stream.error());
  EXPECT_FALSE(stream.http()->HasBlock(1));
  // The stream is still usable: the next read asks again, and fails again.
  ASSERT_EQ(stream.Seek(0, 0), 0);
  EXPECT_EQ(stream.Read(out, 64, nullptr), 0u);
  EXPECT_EQ(Ranged("/drop.avi").size(), 2u);
}

TEST_F(BytestreamFaults, NoContentLengthOrAWrappingOneIsRefused) {
  EXPECT_FALSE(stream.OpenUrl(Url("nolength.avi").c_str()));
  EXPECT_EQ(stream.kind(), RStream::kNone);
  EXPECT_TRUE(stream.error());
  EXPECT_FALSE(stream.OpenUrl(Url("huge.avi").c_str()));
  EXPECT_FALSE(stream.OpenUrl(Url("gone.avi").c_str()));
}

TEST_F(BytestreamFaults, AServerIgnoringRangesServesTheFirstBlockOnly) {
  ASSERT_TRUE(stream.OpenUrl(Url("norange.avi").c_str()));
  uint8_t out[64];
  ASSERT_EQ(stream.Read(out, 64, nullptr), 64u);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 64), std::vector<uint8_t>(server_->Data().begin(), server_->Data().begin() + 64));
  ASSERT_EQ(stream.Seek(16384, 0), 16384);
  EXPECT_EQ(stream.Read(out, 64, nullptr), 0u) << "the file's first bytes are not block 1";
  EXPECT_TRUE(stream.error());
}

TEST_F(BytestreamFaults, AFullLengthReplyOfAnotherRangeFailsTheRead) {
  ASSERT_TRUE(stream.OpenUrl(Url("shifted.avi").c_str()));
  uint8_t out[64];
  EXPECT_EQ(stream.Read(out, 64, nullptr), 0u) << "bytes 1-16384 are not block 0";
  EXPECT_TRUE(stream.error());
  EXPECT_FALSE(stream.http()->HasBlock(0));
  // The honest answer for the last block is taken.
  ASSERT_EQ(stream.Seek(16384, 0), 16384);
  uint32_t got = 0;
  ASSERT_EQ(stream.Read(out, 64, &got), 1u);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 64),
            std::vector<uint8_t>(server_->Data().begin() + 16384, server_->Data().begin() + 16448));
}

TEST_F(BytestreamFaults, AReplyArrivingInPiecesIsWhole) {
  ASSERT_TRUE(stream.OpenUrl(Url("pieces.avi").c_str()));
  std::vector<uint8_t> all(20000);
  uint32_t got = 0;
  ASSERT_EQ(stream.Read(all.data(), 20000, &got), 1u);
  EXPECT_EQ(got, 20000u);
  EXPECT_EQ(all, server_->Data());
  EXPECT_FALSE(stream.error());
}
