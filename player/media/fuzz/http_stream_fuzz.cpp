// libFuzzer target for the byte stream over HTTP. The input scripts a server (the size it
// reports, whether it connects, and for each ranged GET whether the transfer breaks off, the
// status, how many bytes come and the Content-Range announced) and the reads, seeks, block
// fetches and planning reads made through the stream, as the sources and the preload do.
//
// The server never lies about what it sends: its bytes are the resource's own from where the
// range it announces starts (from 0 for a 200), and only a broken transfer leaves other bytes
// behind. So whatever the stream hands out must be the resource's bytes at the position read;
// a block kept from a reply for another range, a short reply or a broken one would show. The
// stream's requests must name exactly one block. Content-Range and Content-Length texts of
// the input also go through their parsers.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "player/base/fuzz/fuzz_input.h"
#include "player/media/preload_plan.h"
#include "player/media/rstream.h"
#include "player/media/tests/fake_http_session.h"

namespace {

using crv::fuzz::InputReader;

uint8_t ResourceByte(uint64_t at) { return static_cast<uint8_t>((at * 0x9E3779B97F4A7C15ull) >> 56); }

bool IsResource(const uint8_t* bytes, uint64_t at, uint64_t count) {
  for (uint64_t i = 0; i < count; ++i)
    if (bytes[i] != ResourceByte(at + i)) return false;
  return true;
}

void FillResource(uint8_t* destination, uint64_t at, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) destination[i] = ResourceByte(at + i);
}

std::u16string ContentRange(uint64_t first, uint32_t count, int64_t total) {
  return u"bytes " + crv_test::Decimal16(first) + u"-" + crv_test::Decimal16(first + count - 1) + u"/" +
         crv_test::Decimal16(static_cast<uint64_t>(total));
}

class ScriptedSession final : public crv::HttpSession {
 public:
  ScriptedSession(InputReader& input, int64_t size, bool connects) : input_(input), size_(size), connects_(connects) {}

  int64_t QuerySize(const std::u16string&) override { return size_; }
  bool Connect(const std::u16string&) override { return connects_; }

  crv::RangeReply GetRange(const std::u16string& header, uint8_t* destination, uint32_t length) override {
    uint64_t first = 0, last = 0;
    // The stream asks for exactly one whole block of the size it was told.
    if (!crv_test::ParseRange(header, &first, &last) || last - first + 1 != length ||
        first % crv::kStreamBlockSize != 0 || last >= static_cast<uint64_t>(size_) || length > crv::kStreamBlockSize)
      __builtin_trap();
    crv::RangeReply reply;
    reply.completed = true;
    switch (input_.Byte() % 7) {
      case 0:  // as asked
        Serve(206, first, length, destination, &reply);
        break;
      case 1: {  // the transfer breaks off after some bytes that are not the resource's
        reply.completed = false;
        const uint32_t left = length ? input_.Word16() % length : 0;
        for (uint32_t i = 0; i < left; ++i) destination[i] = static_cast<uint8_t>(~ResourceByte(first + i));
        break;
      }
      case 2: {  // the range ignored: the resource from its first byte
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(length, static_cast<uint64_t>(size_)));
        FillResource(destination, 0, n);
        reply.status = 200;
        reply.received = n;
        break;
      }
      case 3:  // fewer bytes than asked, announced as such
        Serve(206, first, length ? input_.Word16() % length : 0, destination, &reply);
        break;
      case 4: {  // a later stretch, announced as such
        const uint64_t shifted = first + 1 + input_.Word16();
        if (shifted >= static_cast<uint64_t>(size_)) {
          reply.status = 416;
        } else {
          Serve(206, shifted, static_cast<uint32_t>(std::min<uint64_t>(length, size_ - shifted)), destination, &reply);
        }
        break;
      }
      case 5:  // the bytes asked for under any status
        Serve(input_.Word16() % 600, first, length, destination, &reply);
        break;
      default:  // the bytes asked for under any Content-Range text
        Serve(206, first, length, destination, &reply);
        reply.contentRange = input_.Text16(48);
        break;
    }
    return reply;
  }

 private:
  void Serve(uint32_t status, uint64_t first, uint32_t count, uint8_t* destination, crv::RangeReply* reply) {
    FillResource(destination, first, count);
    reply->status = status;
    reply->received = count;
    if (count) reply->contentRange = ContentRange(first, count, size_);
  }

  InputReader& input_;
  int64_t size_;
  bool connects_;
};

int64_t ReportedSize(InputReader& input) {
  switch (input.Byte() % 4) {
    case 0: return 1 + int64_t{input.Word16()};
    case 1: return 1 + int64_t{input.Word32() % (4 * crv::kStreamBlockSize)};
    case 2: return static_cast<int64_t>(input.Word64());
    default: return int64_t{crv::kStreamSizeLimit} - input.Byte();
  }
}

// The header parsers on the input's text: what they accept must say what the text says.
void ParseTexts(InputReader& input) {
  const std::u16string text = input.Text16(64);
  uint64_t first = 0, last = 0;
  if (crv::ParseContentRange(text, &first, &last)) {
    if (first > last) __builtin_trap();
    uint64_t again_first = 0, again_last = 0;
    const std::u16string again = u"bytes " + crv_test::Decimal16(first) + u"-" + crv_test::Decimal16(last) + u"/*";
    if (!crv::ParseContentRange(again, &again_first, &again_last) || again_first != first || again_last != last)
      __builtin_trap();
  }
  if (crv::ParseContentLength(text) < -1) __builtin_trap();
  const uint32_t offset = input.Word32(), length = 1 + input.Word16();
  if (!crv_test::ParseRange(crv::RangeHeaderText(offset, length), &first, &last) || first != offset ||
      last != uint64_t{offset} + length - 1)
    __builtin_trap();
}

// Reads `count` bytes at the stream's position, with or without the out count; what comes
// must be the resource's bytes there, and the position must move past them.
void CheckedRead(crv::RStream& stream, uint32_t count, bool withCount, int64_t size) {
  std::vector<uint8_t> buffer(count);
  const int64_t before = stream.Tell();
  uint32_t got = 0;
  if (withCount) {
    if (!stream.Read(buffer.data(), count, &got)) {
      if (got != 0) __builtin_trap();
      return;
    }
  } else {
    got = stream.Read(buffer.data(), count, nullptr);
  }
  if (got == 0) return;
  if (got > count || before < 0 || got > size - before) __builtin_trap();
  if (!IsResource(buffer.data(), static_cast<uint64_t>(before), got)) __builtin_trap();
  if (stream.Tell() != before + got) __builtin_trap();
}

// A read while the preload plan is made: it records the blocks that are missing, and copies
// nothing unless every block of the span is there (then exactly the resource's bytes).
void PlanningRead(crv::RStream& stream, uint32_t count) {
  crv::SetPlanMode(crv::kPlanRequested);
  std::vector<uint8_t> buffer(count, 0xA5);
  uint32_t got = 0;
  const int64_t before = stream.Tell();
  stream.Read(buffer.data(), count, &got);
  bool untouched = true;
  for (uint8_t b : buffer) untouched = untouched && b == 0xA5;
  if (!untouched && (before < 0 || got > count || !IsResource(buffer.data(), static_cast<uint64_t>(before), got)))
    __builtin_trap();
  const crv::PreloadPlan* plan = crv::CurrentPlan();
  if (crv::CurrentPlanMode() == crv::kPlanning && stream.http() &&
      (!plan || plan->PlannedBlocks() > stream.http()->BlockCount()))
    __builtin_trap();
  crv::SetPlanMode(crv::kPlanOff);
  crv::FreePlan();
}

void FetchBlock(crv::RStream& stream, uint32_t block) {
  const std::shared_ptr<crv::HttpStreamState>& http = stream.http();
  if (!http) return;
  if (!http->FetchBlock(block)) return;
  if (!http->HasBlock(block)) __builtin_trap();
  const crv::BlockSpan span = crv::StreamBlockSpan(http->Size(), block);
  if (!IsResource(http->Image() + span.offset, span.offset, span.length)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputReader input(data, size);
  ParseTexts(input);
  const int64_t reported = ReportedSize(input);
  const bool connects = input.Byte() % 8 != 0;
  crv::HttpSessionMaker old = crv::SetHttpSessionMaker(
      [&] { return std::unique_ptr<crv::HttpSession>(new ScriptedSession(input, reported, connects)); });
  crv::SetPlanMode(crv::kPlanOff);

  crv::RStream stream;
  if (stream.OpenUrl("http://fuzz.example/movie.avi") != (crv::StreamSizeAccepted(reported) && connects))
    __builtin_trap();
  for (int op = 0; op < 64 && !input.AtEnd(); ++op) {
    switch (input.Byte() % 8) {
      case 0: CheckedRead(stream, input.Word32() % 70000, true, reported); break;
      case 1: CheckedRead(stream, input.Word16(), false, reported); break;
      case 2: {
        const int64_t offset = static_cast<int32_t>(input.Word32());
        const int64_t now = stream.Seek(offset, input.Byte() % 4);
        if (now != -1 && (now < 0 || now > reported || stream.Tell() != now)) __builtin_trap();
        break;
      }
      case 3:
        if (stream.kind() == crv::RStream::kHttp && stream.EndOfStream() != (stream.Tell() == reported))
          __builtin_trap();
        break;
      case 4: FetchBlock(stream, input.Word16() % (crv::kStreamMaxBlocks + 2)); break;
      case 5: PlanningRead(stream, input.Word32() % 70000); break;
      case 6: stream.Close(); break;
      default: stream.OpenUrl("http://fuzz.example/movie.avi"); break;
    }
  }
  stream.Close();
  crv::SetHttpSessionMaker(std::move(old));
  return 0;
}
