#include "player/pictures/formats/pnm_source.h"

#include <cstring>
#include "player/media/source_state.h"
#include "player/pictures/formats/picture_reader.h"

namespace crv {

namespace {

constexpr size_t kMaxHeaderChars = 998;

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Collects the magic and the three numbers with single spaces between them, comments
// dropped. The reader ends right behind the one white-space character after the last token.
bool ReadHeader(PictureReader& in, char* header) {
  size_t length = 0;
  auto append = [&](int c) {
    if (length < kMaxHeaderChars) header[length++] = static_cast<char>(c);
  };
  int c = in.Byte();
  for (int tokens = 0; tokens < 4;) {
    if (c < 0) return false;
    if (c == '#') {
      while (c >= 0 && c != '\n' && c != '\r') c = in.Byte();
      continue;
    }
    if (IsSpace(c)) {
      c = in.Byte();
      continue;
    }
    if (tokens > 0) append(' ');
    while (c >= 0 && !IsSpace(c) && c != '#') {
      append(c);
      c = in.Byte();
    }
    ++tokens;
    if (tokens < 4 && c >= 0 && c != '#') c = in.Byte();
    if (tokens == 4 && c == '#') {  // a comment right behind the last number
      while (c >= 0 && c != '\n' && c != '\r') c = in.Byte();
    }
  }
  header[length] = 0;
  return true;
}

// "%d": white space, an optional sign, digits; false without digits or past 32 bits.
bool ParseNumber(const char*& p, int32_t& value) {
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (*p < '0' || *p > '9') return false;
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > INT32_MAX) return false;
  }
  value = static_cast<int32_t>(negative ? -v : v);
  return true;
}

}  // namespace

int32_t ImgFmtPNM::Load(RFileHandle file, uint32_t) {
  PictureReader in(file);
  char header[kMaxHeaderChars + 1];
  if (!ReadHeader(in, header) || std::strlen(header) < 3) return kResultBadData;
  const uint32_t bits = std::strncmp(header, "P6 ", 3) == 0 ? 24 : 8;
  const char* p = header + 3;
  int32_t width = 0, height = 0, maximum = 0;
  if (!ParseNumber(p, width) || !ParseNumber(p, height) || !ParseNumber(p, maximum)) return kResultBadData;
  if (width < 1 || height < 1 || maximum < 1 || maximum > 255) return kResultBadData;
  if (width > kMaxPictureSide || height > kMaxPictureSide) return kResultBadData;
  if (!CreateBitmap(width, height, bits, nullptr, 0, true)) return kResultNoMemory;

  const size_t rowBytes = static_cast<size_t>(width) * (bits / 8);
  for (int32_t k = 0; k < height; ++k) {
    if (LoadAborted()) return kResultAborted;
    const int32_t y = height - 1 - k;  // the first file row is the top row
    uint8_t* row = RowBuffer(y);
    if (!row) return kResultNoMemory;
    const size_t got = in.Read(row, rowBytes);
    std::memset(row + got, 0, rowBytes - got);
    if (bits == 24)
      for (size_t i = 0; i + 2 < rowBytes; i += 3) std::swap(row[i], row[i + 2]);
    PutRow(y);
    if (got < rowBytes) break;  // the rest stays as created
  }
  ReduceAfterLoad();
  return kResultOk;
}

}  // namespace crv
