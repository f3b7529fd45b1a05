// The frame record of every picture and video (tagRDIBIMG), the frame table through which
// the video view drives a video (RFrameTable), and the few operations on both.
//
// The record is plain data copied by value between a source and its owner, and its layout is
// also the image plug-ins' interface. With 32-bit pointers (the device, the i686 build) the
// sizes hold exactly: record 680 bytes, frame table 52 bytes plus 12 per further slot; they
// are checked below. With 64-bit pointers the pointer fields widen and the sizes grow, so
// nothing here is ever written to a file as it lies in memory.
#pragma once
#include <cstddef>
#include <cstdint>

namespace crv {

// Result codes of loading and saving. The views own the texts shown for them.
enum RResult : int32_t {
  kResultOk = 0,
  kResultNoMemory = 1,        // also: failure after the file was recognised
  kResultInternal = 2,
  kResultPathNotFound = 3,
  kResultCannotOpen = 4,
  kResultCannotCreate = 5,
  kResultReadError = 6,
  kResultWriteError = 7,
  kResultBadData = 8,         // stream not opened, unsupported or corrupted
  kResultNoSource = 9,
  kResultVersion = 10,
  kResultCompression = 11,
  kResultLzwRefused = 12,
  kResultCmykLab = 13,
  kResult32BitColour = 14,
  kResultAborted = 15,
  kResultNoPageFile = 16,
  kResultOutOfRange = 17,
  kResultSaveUnsupported = 18,
};

// Load flags (the fourth argument of RLoadImage). The size bits only matter to still
// sources that create their bitmap with fitting allowed (ImgFmtBase::CreateBitmap).
enum RLoadFlags : uint32_t {
  kLoadReduceLarge = 2,       // full size when it fits in twice the screen, else reduce
  kLoadFitScreen = 4,         // reduce to the screen
  kLoadFitTwiceScreen = 8,    // reduce to twice the screen
  kLoadNeverReduce = 16,      // full size or nothing
};

// Step flags of RFrameTable::Step.
enum RStepFlags : uint32_t {
  kStepTurned = 0x2,          // the picture is turned by 90 degrees
  kStepRestart = 0x100,       // restart from the first frame
  kStepOverlay = 0x200,       // the overlay argument is a 104 x 20 picture of 5-6-5 pixels
  kStepRedraw = 0x1000,       // redraw the current frame only
};

// Slot numbers of GetFrame below 0.
constexpr int32_t kSlotSnapshot = -1;  // copy the frame on screen into slot 0
constexpr int32_t kSlotPause = -2;     // the same, and keep the stream open across Close

constexpr size_t kRecordPathChars = 260;
constexpr size_t kRecordInfoChars = 64;
constexpr uint32_t kDibRgbColours = 0;  // the colour-table usage of every DIB we create

using RFileHandle = void*;    // an open platform file handle (HANDLE on Windows)
using RWindow = void*;        // HWND
using RBitmapHandle = void*;  // HBITMAP (natively: the heap block of the pixels)

// The 40-byte BITMAPINFOHEADER, field for field.
struct RBitmapInfoHeader {
  uint32_t size;
  int32_t width;
  int32_t height;             // positive: bottom-up rows
  uint16_t planes;
  uint16_t bitCount;
  uint32_t compression;
  uint32_t sizeImage;
  int32_t xPelsPerMeter;
  int32_t yPelsPerMeter;
  uint32_t clrUsed;
  uint32_t clrImportant;
};
static_assert(sizeof(RBitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

// RGBQUAD: one colour-table entry.
struct RRgbQuad {
  uint8_t blue;
  uint8_t green;
  uint8_t red;
  uint8_t reserved;
};
static_assert(sizeof(RRgbQuad) == 4, "RGBQUAD is 4 bytes");

// RECT: left, top, right, bottom.
struct RRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct tagRDIBIMG;
struct RFrameTable;

// Loads another page of a multi-page still picture into the record's pixels.
using RPageLoader = int32_t (*)(RFileHandle file, tagRDIBIMG* record, int32_t page);

// The four operations of a video; each source fills them with its own.
// Start: 0, or -1 when the stream cannot be opened for playback.
using RStartFn = int32_t (*)(RFileHandle file, RWindow window, const char16_t* path, uint32_t sizeWord);
// GetFrame: decodes into the slot's buffer (slot >= 0) or copies the frame on screen into
// slot 0's buffer (kSlotSnapshot, kSlotPause). 0 or -1.
using RGetFrameFn = int32_t (*)(RFileHandle file, RFrameTable* table, intptr_t ownerCookie, int32_t slot);
// Step: shows the next frame; returns the next frame number, or -1 at a failure.
using RStepFn = int32_t (*)(const uint16_t* overlay, int32_t frame, const RRect* source,
                            const RRect* target, uint32_t flags);
using RCloseFn = int32_t (*)();

struct RFrameSlot {
  uint32_t reserved;
  uint32_t bytes;             // one decoded frame: the DIB's image size
  uint8_t* buffer;            // null unless a frame is cached
};

struct RFrameTable {
  RStartFn Start;
  RGetFrameFn GetFrame;
  RStepFn Step;
  RCloseFn Close;
  uint32_t framePeriod;       // ms between frames; 0 for sources that pace themselves
  uint32_t reserved;
  uint32_t width;
  uint32_t height;
  uint32_t bitsPerPixel;
  uint32_t slotCount;
  RFrameSlot slots[1];        // slotCount of them: the block is FrameTableBytes(slotCount)
};

struct tagRDIBIMG {
  RPageLoader pageLoader;     // set by multi-page still sources; null otherwise
  RBitmapInfoHeader* info;    // heap block: header, then the colour table
  RFrameTable* frames;        // heap frame table, or null for a still picture
  intptr_t ownerCookie;       // the caller's; survives a failed load
  RBitmapHandle bitmap;       // DIB section; null for a video record (pixels on the heap)
  uint8_t* pixels;
  uint32_t reserved;
  int32_t frameCount;         // 1, or the page count of a multi-page picture
  char16_t path[kRecordPathChars];
  char16_t infoText[kRecordInfoChars];
};

// Bytes of a frame table with `slots` slots (at least one is always there).
constexpr size_t FrameTableBytes(uint32_t slots) {
  return offsetof(RFrameTable, slots) + (slots ? slots : 1) * sizeof(RFrameSlot);
}

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(tagRDIBIMG) == 680, "frame record is 680 bytes");
static_assert(offsetof(tagRDIBIMG, path) == 32 && offsetof(tagRDIBIMG, infoText) == 552,
              "frame record field offsets");
static_assert(sizeof(RFrameSlot) == 12, "frame slot is 12 bytes");
static_assert(offsetof(RFrameTable, slots) == 40 && sizeof(RFrameTable) == 52,
              "frame table header is 52 bytes with its first slot");
static_assert(FrameTableBytes(2) == 64, "a video keeps 64 bytes of table");
#endif

inline RFrameSlot* Slot(RFrameTable* table, uint32_t index) {
  return reinterpret_cast<RFrameSlot*>(reinterpret_cast<uint8_t*>(table) + offsetof(RFrameTable, slots)) + index;
}
inline RRgbQuad* ColourTable(RBitmapInfoHeader* info) { return reinterpret_cast<RRgbQuad*>(info + 1); }
inline const RRgbQuad* ColourTable(const RBitmapInfoHeader* info) {
  return reinterpret_cast<const RRgbQuad*>(info + 1);
}

// Row size of a DIB: rows padded to a multiple of 4 bytes.
constexpr uint64_t DibRowBytes(uint32_t bitsPerPixel, uint64_t width) {
  return ((uint64_t{bitsPerPixel} * width + 31) / 8) & ~uint64_t{3};
}
// Colour-table entries of a depth: 2^bits below 9 bits, none above.
constexpr uint32_t PaletteEntries(uint32_t bitsPerPixel) {
  return bitsPerPixel >= 1 && bitsPerPixel < 9 ? 1u << bitsPerPixel : 0;
}
// Bytes of a bitmap info block: 40 of header and the colour table, or 44 without one.
constexpr size_t BitmapInfoBytes(uint32_t bitsPerPixel) {
  return (PaletteEntries(bitsPerPixel) ? PaletteEntries(bitsPerPixel) + 10 : 11) * 4;
}
// Pixel bytes of the bitmap a header describes, computed from its size rather than taken
// from sizeImage.
uint64_t DibImageBytes(const RBitmapInfoHeader& info);
// The depths a bitmap of ours can have: 1, 2, 4, 8, 16, 24, 32.
bool KnownDibDepth(uint32_t bitsPerPixel);
// Pixel x of a DIB row as blue, green, red: below 9 bits through the colour table, 16 bits as
// 5-5-5, else the first three bytes of the pixel.
void DibPixelBgr(const RBitmapInfoHeader& info, const uint8_t* row, int32_t x, uint8_t out[3]);

// Fields 1, 2, 3, 5, 6 cleared, frame count 1, info text empty; cookie and path kept.
void ResetRecord(tagRDIBIMG& record);
// Frees the frame table (with its cached frames), the bitmap info block and the DIB section
// (or, for a video record, the heap pixels) through the allocation hooks, then resets.
void ReleaseRecord(tagRDIBIMG& record);

// A zeroed frame table with room for `slots` slots (slotCount not set), or null.
RFrameTable* AllocFrameTable(uint32_t slots);
// Frees the cached frame buffers of the first `slotCount` slots, then the table.
void FreeFrameTable(RFrameTable* table);

}  // namespace crv
