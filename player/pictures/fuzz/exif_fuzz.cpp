// libFuzzer target over the EXIF orientation reader. An input that begins like a JPEG is read
// as a file; any other input is read as the TIFF block of an EXIF segment wrapped in a
// minimal JPEG, so the fuzzer reaches the IFD walk directly as well. The answer must be an
// orientation 1..8 or 0 and its turn a quarter turn.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>
#include "player/base/byte_source.h"
#include "player/pictures/formats/exif_orientation.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckAnswer(crv::ByteSource& source) {
  const int32_t orientation = crv::ExifOrientation(source);
  Check(orientation >= 0 && orientation <= 8);
  const int32_t turn = crv::ExifRotationDegrees(source);
  Check(turn == crv::RotationForExifOrientation(orientation));
  Check(turn == 0 || turn == 90 || turn == 180 || turn == 270);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
    crv::MemoryByteSource source(data, size);
    CheckAnswer(source);
    return 0;
  }
  // A segment holds at most 65533 bytes of data.
  const size_t tiff = size < 65527 ? size : 65527;
  std::vector<uint8_t> file = {0xFF, 0xD8, 0xFF, 0xE1};
  const size_t length = tiff + 8;
  file.push_back(static_cast<uint8_t>(length >> 8));
  file.push_back(static_cast<uint8_t>(length));
  file.insert(file.end(), {'E', 'x', 'i', 'f', 0, 0});
  file.insert(file.end(), data, data + tiff);
  file.insert(file.end(), {0xFF, 0xD9});
  crv::MemoryByteSource source(file.data(), file.size());
  CheckAnswer(source);
  return 0;
}
