#include "player/media/img_fmt_base.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>
#include "player/base/bytes.h"
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/media/tests/test_hooks.h"

using namespace crv;
using crv::testing_support::DibRequest;
using crv::testing_support::Log;
using crv::testing_support::TrackedHooks;

namespace {

class TestSource : public ImgFmtBase {
 public:
  using ImgFmtBase::CreateBitmap;
  using ImgFmtBase::LoadVideo;
  using ImgFmtBase::LoadVideoFrom565;
  using ImgFmtBase::PutRow;
  using ImgFmtBase::ReduceAfterLoad;
  using ImgFmtBase::RowBuffer;

  const RBitmapInfoHeader& Info() const { return *record_.info; }
  const uint8_t* Pixel(int32_t x, int32_t memoryRow) const {
    const RBitmapInfoHeader& h = *record_.info;
    return record_.pixels + memoryRow * DibRowBytes(h.bitCount, h.width) + x * (h.bitCount / 8);
  }
};

// Source pixel (x, y) of a 24-bit test picture carries its own position.
uint32_t Code(int32_t x, int32_t y) { return (static_cast<uint32_t>(y) << 12) | static_cast<uint32_t>(x); }

// Decodes the test picture row by row the way a still source does.
void DecodeRows(TestSource& s, int32_t width, int32_t height) {
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = s.RowBuffer(y);
    ASSERT_NE(row, nullptr);
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c = Code(x, y);
      row[3 * x] = c & 0xFF;
      row[3 * x + 1] = (c >> 8) & 0xFF;
      row[3 * x + 2] = c >> 16;
    }
    s.PutRow(y);
  }
}

// Every target pixel holds the source pixel the maps name: its mapped column, and the last
// source row that lands on its row. No target row may be left out.
void ExpectPlacedByMaps(const TestSource& s) {
  const int32_t tw = s.Info().width, th = s.Info().height;
  std::vector<int32_t> lastRow(th, -1);
  for (int32_t y = 0; y < s.SourceHeight(); ++y) lastRow[s.RowMap()[y]] = y;
  for (int32_t t = 0; t < th; ++t) {
    ASSERT_GE(lastRow[t], 0) << "target row " << t << " is never written";
    for (int32_t i = 0; i < tw; ++i)
      ASSERT_EQ(Le24(s.Pixel(i, t)), Code(s.ColumnMap()[i], lastRow[t])) << i << "," << t;
  }
}

class SourceBase : public ::testing::Test {
 protected:
  void SetUp() override {
    OverrideScreenSize(240, 320);
    SetCurrentLoadFlags(0);
  }
  void TearDown() override {
    OverrideScreenSize(0, 0);
    SetCurrentLoadFlags(0);
  }
  TrackedHooks hooks;
};

}  // namespace

TEST_F(SourceBase, BitmapHeaderAndColourTables) {
  TestSource s;
  const RRgbQuad three[3] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
  ASSERT_TRUE(s.CreateBitmap(5, 3, 8, three, 3));
  const RBitmapInfoHeader& h = s.Info();
  EXPECT_TRUE(h.size == 40 && h.width == 5 && h.height == 3 && h.planes == 1 && h.compression == 0);
  EXPECT_EQ(h.sizeImage, 24u);
  EXPECT_EQ(h.clrUsed, 256u);
  EXPECT_EQ(TrackedHooks::BlockBytes(&h), (256u + 10u) * 4u);
  EXPECT_EQ(ColourTable(&h)[2].red, 9);
  EXPECT_EQ(ColourTable(&h)[3].red, 0) << "entries past the given palette stay black";

  ASSERT_TRUE(s.CreateBitmap(9, 2, 4));
  EXPECT_EQ(TrackedHooks::LiveBitmaps(), 1u) << "the earlier bitmap is released";
  EXPECT_EQ(s.Info().sizeImage, 16u) << "9 nibbles take 5 bytes, padded to 8, two rows";
  for (int i = 0; i < 16; ++i) EXPECT_EQ(ColourTable(&s.Info())[i].green, 17 * i);
  ASSERT_TRUE(s.CreateBitmap(1, 1, 1));
  EXPECT_EQ(ColourTable(&s.Info())[0].blue, 0);
  EXPECT_EQ(ColourTable(&s.Info())[1].blue, 255);
  ASSERT_TRUE(s.CreateBitmap(1, 1, 24));
  EXPECT_EQ(TrackedHooks::BlockBytes(&s.Info()), 44u);
}

TEST_F(SourceBase, BitmapFailuresLeaveNothing) {
  TestSource s;
  Log().bitmapBudget = 0;
  EXPECT_FALSE(s.CreateBitmap(10, 10, 24));
  EXPECT_TRUE(!s.Record().info && !s.Record().bitmap && !s.Record().pixels);
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 0u) << "the info block is given back";

  // Sizes as a file may declare them: refused before anything is asked of the platform.
  Log() = testing_support::HookLog();
  EXPECT_FALSE(s.CreateBitmap(0, 10, 24));
  EXPECT_FALSE(s.CreateBitmap(10, -1, 24));
  EXPECT_FALSE(s.CreateBitmap(10, 10, 3));
  EXPECT_FALSE(s.CreateBitmap(0x10000, 0x10000, 24)) << "12 GB";
  EXPECT_FALSE(s.CreateBitmap(0x7FFFFFFF, 1, 32));
  EXPECT_TRUE(Log().requests.empty());
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 0u);
}

struct FitCase {
  const char* what;
  uint32_t flags;
  int32_t width, height;
  uint32_t bits;
  uint64_t budget;
  std::vector<DibRequest> requests;  // in the order tried
  bool made;
};

TEST_F(SourceBase, FittingFollowsTheLoadFlags) {
  const uint64_t any = UINT64_MAX;
  // Screen 240 x 320; 1000 x 800 fits the screen at 300 x 240 and twice the screen at 600 x 480.
  const std::vector<FitCase> cases = {
      {"bit 4: straight to the screen box", 4, 1000, 800, 24, any, {{300, 240, 24}}, true},
      {"bit 8: twice the screen", 8, 1000, 800, 24, any, {{600, 480, 24}}, true},
      {"bits 4 and 8: twice", 12, 1000, 800, 24, any, {{600, 480, 24}}, true},
      {"portrait picture", 4, 800, 1000, 24, any, {{240, 300, 24}}, true},
      {"bit 2: large goes to twice the screen", 2, 1000, 800, 24, any, {{600, 480, 24}}, true},
      {"bit 2: small stays full", 2, 200, 100, 24, any, {{200, 100, 24}}, true},
      {"bit 2: full fails, then the screen", 2, 500, 400, 24, 400000, {{500, 400, 24}, {300, 240, 24}}, true},
      {"no bit: full", 0, 1000, 800, 24, any, {{1000, 800, 24}}, true},
      {"no bit: full fails, twice fits", 0, 1000, 800, 24, 1000000, {{1000, 800, 24}, {600, 480, 24}}, true},
      {"no bit: down to the screen", 0, 1000, 800, 24, 500000,
       {{1000, 800, 24}, {600, 480, 24}, {300, 240, 24}}, true},
      {"no bit: nothing fits", 0, 1000, 800, 24, 100000, {{1000, 800, 24}, {600, 480, 24}, {300, 240, 24}}, false},
      {"bit 16: full or nothing", 16, 1000, 800, 24, 1000000, {{1000, 800, 24}}, false},
      {"bit 16 beats bit 4", 20, 1000, 800, 24, any, {{1000, 800, 24}}, true},
      {"below 8 bits never reduced", 4, 1000, 800, 4, any, {{1000, 800, 4}}, true},
      {"8 bits are reduced", 4, 1000, 800, 8, any, {{300, 240, 8}}, true},
      {"bit 4, picture within the box, full fails", 4, 200, 100, 24, 0, {{200, 100, 24}}, false},
      // 2.7 GB at full size: more than one bitmap can hold, so only the box is asked for.
      {"no bit: beyond any bitmap, reduced", 0, 30000, 30000, 24, any, {{480, 480, 24}}, true},
      {"bit 2: beyond any bitmap, reduced", 2, 30000, 30000, 24, any, {{480, 480, 24}}, true},
      {"bit 16: beyond any bitmap", 16, 30000, 30000, 24, any, {}, false},
  };
  for (const FitCase& c : cases) {
    SCOPED_TRACE(c.what);
    Log().requests.clear();
    Log().bitmapBudget = c.budget;
    SetCurrentLoadFlags(c.flags);
    TestSource s;
    EXPECT_EQ(s.CreateBitmap(c.width, c.height, c.bits, nullptr, 0, true), c.made);
    EXPECT_EQ(Log().requests, c.requests);
    if (c.made) {
      EXPECT_EQ(s.IsReduced(), c.requests.back().width != c.width);
      EXPECT_EQ(s.SourceWidth(), c.width);
    }
  }
}

TEST_F(SourceBase, ScreenBoxFitsEitherOrientation) {
  EXPECT_EQ(FitToScreenBox(1000, 800, 1, 320, 240).width, 300) << "the same box for a turned screen";
  const FitBox thin = FitToScreenBox(100000, 2, 1, 240, 320);
  EXPECT_EQ(thin.width, 320);
  EXPECT_EQ(thin.height, 1) << "never 0 rows";
  const FitBox small = FitToScreenBox(100, 50, 2, 240, 320);
  EXPECT_EQ(small.width, 100) << "never enlarged";
  EXPECT_EQ(small.height, 50);
}

TEST_F(SourceBase, MapsAndRowPlacementWhileDecoding) {
  SetCurrentLoadFlags(4);
  TestSource s;
  ASSERT_TRUE(s.CreateBitmap(1000, 800, 24, nullptr, 0, true));
  ASSERT_TRUE(s.IsReduced());
  EXPECT_EQ(s.ScaleFixed(), 3413u);
  const int32_t* col = s.ColumnMap();
  EXPECT_EQ(col[0], 0);
  EXPECT_EQ(col[1], 3);
  EXPECT_EQ(col[150], (150 * 3413) >> 10);
  EXPECT_EQ(col[299], 999) << "the last column, though 299 steps fall short of it";
  const int32_t* row = s.RowMap();
  EXPECT_EQ(row[7], 2);
  EXPECT_EQ(row[799], 239);
  EXPECT_EQ(TrackedHooks::BlockBytes(s.RowBuffer(0)), 3000u) << "a full-width row buffer";

  DecodeRows(s, 1000, 800);
  EXPECT_EQ(s.RowBuffer(800), nullptr);
  uint8_t junk[3000] = {};
  s.PutRow(800, junk);  // outside the picture: ignored
  s.PutRow(-1, junk);
  ExpectPlacedByMaps(s);

  // Tall and thin: the box is 1 x 320, and all of its rows are written.
  TestSource thin;
  ASSERT_TRUE(thin.CreateBitmap(19, 4000, 24, nullptr, 0, true));
  EXPECT_EQ(thin.Info().width, 1);
  EXPECT_EQ(thin.Info().height, 320);
  DecodeRows(thin, 19, 4000);
  ExpectPlacedByMaps(thin);
}

TEST_F(SourceBase, ReductionAfterLoading) {
  TestSource s;
  ASSERT_TRUE(s.CreateBitmap(1000, 800, 24));
  DecodeRows(s, 1000, 800);
  EXPECT_FALSE(s.ReduceAfterLoad()) << "no size bit";
  SetCurrentLoadFlags(16 | 4);
  EXPECT_FALSE(s.ReduceAfterLoad());

  SetCurrentLoadFlags(4);
  Log().bitmapBudget = 1000;
  EXPECT_FALSE(s.ReduceAfterLoad()) << "no room for the smaller one";
  EXPECT_EQ(s.Info().width, 1000);
  EXPECT_EQ(Le24(s.Pixel(999, 799)), Code(999, 799)) << "the full picture is kept";

  Log().bitmapBudget = UINT64_MAX;
  EXPECT_TRUE(s.ReduceAfterLoad());
  EXPECT_EQ(s.Info().width, 300);
  EXPECT_EQ(TrackedHooks::LiveBitmaps(), 1u) << "the full-size bitmap is freed";
  ExpectPlacedByMaps(s);
  EXPECT_FALSE(s.ReduceAfterLoad()) << "only once";

  SetCurrentLoadFlags(2);
  TestSource twice;
  const RRgbQuad pal[2] = {{10, 20, 30, 0}, {40, 50, 60, 0}};
  ASSERT_TRUE(twice.CreateBitmap(1000, 800, 8, pal, 2));
  EXPECT_TRUE(twice.ReduceAfterLoad());
  EXPECT_EQ(twice.Info().width, 600);
  EXPECT_EQ(ColourTable(&twice.Info())[1].red, 60) << "the palette comes along";
}

namespace {

int g_closes;
int32_t g_frameResult;
RFrameTable* g_seenTable;

int32_t PatternFrame(RFileHandle, RFrameTable* table, intptr_t, int32_t slot) {
  g_seenTable = table;
  RFrameSlot* s = Slot(table, 0);
  if (slot != 0 || !s->buffer) return -1;
  for (uint32_t i = 0; i < s->bytes; ++i) s->buffer[i] = static_cast<uint8_t>(i * 7);
  return g_frameResult;
}
int32_t CountClose() { return ++g_closes, 0; }

}  // namespace

TEST_F(SourceBase, VideoLoadDecodesTheFirstFrameThroughSlotZero) {
  g_closes = 0;
  g_frameResult = 0;
  AbortFlag() = 1;
  TestSource s;
  const RVideoOps ops{nullptr, PatternFrame, nullptr, CountClose};
  ASSERT_EQ(s.LoadVideo(nullptr, 5, 3, ops, kResultBadData), kResultOk);
  EXPECT_FALSE(LoadAborted());
  RFrameTable* t = s.Record().frames;
  ASSERT_EQ(g_seenTable, t);
  EXPECT_TRUE(t->GetFrame == PatternFrame && t->Close == CountClose);
  EXPECT_TRUE(t->slotCount == 2 && t->width == 5 && t->height == 3 && t->bitsPerPixel == 24 && t->framePeriod == 0);
  EXPECT_EQ(Slot(t, 0)->bytes, 48u);
  EXPECT_EQ(Slot(t, 0)->buffer, nullptr);
  EXPECT_EQ(s.Record().pixels[47], static_cast<uint8_t>(47 * 7));
  EXPECT_EQ(g_closes, 1);
  EXPECT_EQ(TrackedHooks::LiveBlocks(), 2u) << "info and table only: the temporary frame is gone";

  g_frameResult = -1;
  TestSource bad;
  EXPECT_EQ(bad.LoadVideo(nullptr, 5, 3, ops, kResultBadData), kResultBadData);
  EXPECT_EQ(g_closes, 2) << "closed after a failed first frame too";
  Log().bitmapBudget = 0;
  TestSource none;
  EXPECT_EQ(none.LoadVideo(nullptr, 5, 3, ops, kResultBadData), kResultNoMemory);
  EXPECT_EQ(g_closes, 3);
}

TEST_F(SourceBase, VideoLoadFrom565FillsWhiteThenConverts) {
  const uint16_t picture[2 * 2] = {0xFFFF, 0x0000, 0xF800, 0x001F};
  g_closes = 0;
  TestSource s;
  ASSERT_EQ(s.LoadVideoFrom565(picture, 2, 2, 2, RVideoOps{nullptr, nullptr, nullptr, CountClose}), kResultOk);
  EXPECT_EQ(g_closes, 1) << "the probe's decoder is closed";
  EXPECT_EQ(s.Info().width, 2);
  // Top picture row is the last memory row.
  EXPECT_EQ(Le24(s.Pixel(0, 1)), 0xF8FCF8u);
  EXPECT_EQ(Le24(s.Pixel(1, 1)), 0u);
  EXPECT_EQ(s.Record().pixels[6], 0xFF) << "row padding keeps the 0xFF fill";
  EXPECT_EQ(s.Record().frames->slotCount, 2u);

  Log().bitmapBudget = 0;
  TestSource none;
  EXPECT_EQ(none.LoadVideoFrom565(picture, 2, 2, 2, RVideoOps{nullptr, nullptr, nullptr, CountClose}),
            kResultNoMemory);
  EXPECT_EQ(g_closes, 2) << "closed when the bitmap cannot be had too";
}

TEST(Rgb565, ChannelsAndRowOrder) {
  // Pitch 3: the third pixel of each row is not part of the picture.
  const uint16_t frame[2 * 3] = {0xFFFF, 0xF800, 0x1234, 0x07E0, 0x001F, 0x1234};
  uint8_t dib[2 * 8];
  std::memset(dib, 0xAA, sizeof(dib));
  Rgb565ToDib24(frame, 3, 2, 2, dib);
  const uint8_t bottom[6] = {0, 252, 0, 248, 0, 0};       // 0x07E0 green, 0x001F blue
  const uint8_t top[6] = {248, 252, 248, 0, 0, 248};      // 0xFFFF, 0xF800 red
  EXPECT_EQ(std::memcmp(dib, bottom, 6), 0);
  EXPECT_EQ(std::memcmp(dib + 8, top, 6), 0);
  EXPECT_EQ(dib[6], 0xAA) << "padding is left alone";
}
