// Fields in both byte orders (bytes with the top bit set, where a shift of a promoted signed
// byte goes wrong), reads at fixed offsets at and past the end of a block, and the memory
// byte source's short and refused reads.
#include "player/base/bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "player/base/byte_source.h"

using namespace crv;

namespace {

const uint8_t kHigh[8] = {0x81, 0x92, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8};

TEST(Bytes, BothOrdersWithTheTopBitSet) {
  EXPECT_EQ(Le16(kHigh), 0x9281u);
  EXPECT_EQ(Le24(kHigh), 0xA39281u);
  EXPECT_EQ(Le32(kHigh), 0xB4A39281u);
  EXPECT_EQ(Le64(kHigh), 0xF8E7D6C5B4A39281ull);
  EXPECT_EQ(Be16(kHigh), 0x8192u);
  EXPECT_EQ(Be24(kHigh), 0x8192A3u);
  EXPECT_EQ(Be32(kHigh), 0x8192A3B4u);
  EXPECT_EQ(Be64(kHigh), 0x8192A3B4C5D6E7F8ull);

  std::vector<uint8_t> out;
  AppendLe16(out, 0x9281);
  AppendLe32(out, 0xF8E7D6C5);
  AppendBe16(out, 0x8192);
  AppendBe32(out, 0xA3B4C5D6);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x81, 0x92, 0xC5, 0xD6, 0xE7, 0xF8, 0x81, 0x92, 0xA3, 0xB4, 0xC5, 0xD6}));

  // The code word is the characters as stored, read little-endian; swapped it is the
  // big-endian word.
  const uint8_t riff[4] = {'R', 'I', 'F', 'F'};
  EXPECT_EQ(FourCc("RIFF"), Le32(riff));
  EXPECT_EQ(SwapBytes32(FourCc("RIFF")), Be32(riff));
  EXPECT_EQ(FourCc("\xFF\x80\x01 "), 0x200180FFu);
}

TEST(ByteView, FieldsPastTheEndReadAsZeroAndFail) {
  ByteView view(kHigh, 6);
  EXPECT_EQ(view.Be16(4), 0xC5D6u) << "the last whole field";
  EXPECT_TRUE(view.Ok());
  EXPECT_EQ(view.Be32(4), 0u) << "two bytes short";
  EXPECT_FALSE(view.Ok());

  // Offsets near the top of size_t do not wrap around into the block.
  for (size_t offset : {size_t{6}, SIZE_MAX, SIZE_MAX - 1, SIZE_MAX - 3}) {
    ByteView far(kHigh, 6);
    EXPECT_EQ(far.Be32(offset), 0u) << offset;
    EXPECT_EQ(far.U8(offset), 0u) << offset;
    EXPECT_FALSE(far.Ok()) << offset;
  }

  // A part of the block reads only inside itself; a part that does not fit is empty.
  ByteView whole(kHigh, 8);
  ByteView part = whole.Sub(2, 4);
  EXPECT_EQ(part.Be32(0), 0xA3B4C5D6u);
  EXPECT_EQ(part.U8(4), 0u) << "the byte after the part, though the block has it";
  EXPECT_FALSE(part.Ok());
  EXPECT_TRUE(whole.Ok());
  EXPECT_EQ(whole.Sub(6, 3).size(), 0u);
  EXPECT_FALSE(whole.Ok());

  ByteView none(nullptr, 100);
  EXPECT_EQ(none.size(), 0u);
  EXPECT_EQ(none.U8(0), 0u);
}

TEST(MemoryByteSource, ShortReadsAtTheEndAndRefusedRanges) {
  MemoryByteSource source(kHigh, sizeof kHigh);
  uint8_t out[8] = {};
  EXPECT_EQ(source.ReadAt(5, out, 8), 3u) << "what is there";
  EXPECT_EQ(out[0], 0xD6);
  EXPECT_EQ(source.ReadAt(8, out, 1), 0u);
  EXPECT_EQ(source.ReadAt(UINT64_MAX, out, 1), 0u);

  out[0] = 0;
  EXPECT_FALSE(source.ReadExactly(5, out, 4));
  EXPECT_EQ(out[0], 0) << "a range past the end is refused unread";
  EXPECT_FALSE(source.ReadExactly(UINT64_MAX - 1, out, 4)) << "offset + count wraps around";
  EXPECT_TRUE(source.ReadExactly(4, out, 4));
  EXPECT_EQ(Be32(out), 0xC5D6E7F8u);
  EXPECT_TRUE(source.ReadExactly(8, nullptr, 0));
}

}  // namespace
