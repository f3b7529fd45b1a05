// ImgFmtBase: the base of every source (the video sources, the still formats). A source is
// made for one RLoadImage call, is given an open file handle, and fills its embedded record:
// a bitmap (the picture, or a video's first frame) and, for a video, a frame table.
//
// The base creates bitmaps, fits large still pictures to the screen as the load flags ask
// (while decoding, through the column and row maps and the row buffer, or afterwards), and
// runs the load sequence that every video source shares.
#pragma once
#include <cstddef>
#include <cstdint>
#include "player/media/frame_record.h"

namespace crv {

// The box a picture of w x h is fitted into for a factor k of the screen: the scale that
// fits it in either orientation, min(k min(W,H) / min(w,h), k max(W,H) / max(w,h)), never
// above 1, sizes truncated and at least 1.
struct FitBox {
  int32_t width;
  int32_t height;
};
FitBox FitToScreenBox(int32_t width, int32_t height, int k, int32_t screenWidth, int32_t screenHeight);

// The decoders' 5-6-5 frame (top-down, `pitch` pixels a row) as bottom-up 24-bit DIB rows
// padded to 4 bytes: blue = low five bits x 8, green = bits 5-10 x 4, red = bits 11-15 x 8.
void Rgb565ToDib24(const uint16_t* frame, size_t pitch, uint32_t width, uint32_t height, uint8_t* dib);

// The four operations a video source puts into its frame table.
struct RVideoOps {
  RStartFn start;
  RGetFrameFn getFrame;
  RStepFn step;
  RCloseFn close;
};

class ImgFmtBase {
 public:
  ImgFmtBase();
  ImgFmtBase(const ImgFmtBase&) = delete;
  ImgFmtBase& operator=(const ImgFmtBase&) = delete;
  // Calls the base Free. A source that overrides Free calls its own from its destructor.
  virtual ~ImgFmtBase();

  // Decodes the file into the record; the base has no format and answers kResultNoSource.
  virtual int32_t Load(RFileHandle file, uint32_t loadFlags);
  // Nothing in the player saves through a source; the base answers kResultSaveUnsupported.
  virtual int32_t Save(RFileHandle file, const tagRDIBIMG& record);
  // Frees the scaling buffers and releases the embedded record.
  virtual void Free();

  tagRDIBIMG& Record() { return record_; }
  const tagRDIBIMG& Record() const { return record_; }

  // The reduction state of the current bitmap (for the sources and for tests).
  bool IsReduced() const { return columnMap_ != nullptr; }
  int32_t SourceWidth() const { return sourceWidth_; }
  int32_t SourceHeight() const { return sourceHeight_; }
  const int32_t* ColumnMap() const { return columnMap_; }  // target width entries
  const int32_t* RowMap() const { return rowMap_; }        // source height entries
  uint32_t ScaleFixed() const { return scaleFixed_; }
  float Scale() const { return scale_; }

 protected:
  // Creates the record's bitmap: bottom-up, rows padded to 4 bytes, 1/2/4/8/16/24/32 bits.
  // Below 9 bits the info block holds a colour table of 2^bits entries: the given palette
  // (when both palette and count are given; entries past the count stay black) or a grey
  // ramp. With `fitToScreen` a still picture of 8 bits or more is fitted as the current load
  // flags ask, and may then be created smaller than width x height (IsReduced); a picture
  // beyond what one bitmap can hold (2 GB) is then only made reduced. A bitmap already there
  // is released first. False leaves no bitmap.
  bool CreateBitmap(int32_t width, int32_t height, uint32_t bitsPerPixel, const RRgbQuad* palette = nullptr,
                    uint32_t paletteCount = 0, bool fitToScreen = false, void* dc = nullptr);

  // The box CreateBitmap(width, height, bits, ..., fitToScreen = true) tries first under the
  // current load flags, or width x height when it starts at the full size. A source that can
  // decode at a fraction of the size (JPEG's DCT scaling) decodes at the smallest fraction
  // that still covers this box and makes its bitmap with CreateBitmapInBox.
  FitBox FirstFitBox(int32_t width, int32_t height, uint32_t bitsPerPixel) const;
  // A bitmap of `box` fed by rows of width x height through the maps (IsReduced), or of the
  // full size when the box is not narrower than width. No palette; false leaves no bitmap.
  bool CreateBitmapInBox(int32_t width, int32_t height, uint32_t bitsPerPixel, FitBox box);

  // Row placement, by full-size bitmap row y (memory order, 0 = bottom row): a source
  // decodes row y into RowBuffer(y) (the row buffer of a reduced bitmap, else the bitmap's
  // own row) and then calls PutRow(y), which places a reduced row on its target row.
  // Null / nothing for a row outside the picture.
  uint8_t* RowBuffer(int32_t y);
  void PutRow(int32_t y);
  // Places an outside full-width row.
  void PutRow(int32_t y, const uint8_t* row);
  // Full-size row bytes of the picture being decoded.
  uint64_t SourceRowBytes() const;

  // After decoding at full size: reduces the bitmap to the box the load flags ask for (bits
  // 2 and 8: twice the screen, bit 4: the screen), when that box is narrower than the
  // picture. Nothing for bit 16, below 8 bits, or an already reduced bitmap. True when
  // reduced; when the smaller bitmap cannot be made the picture stays at full size.
  bool ReduceAfterLoad();

  // The load sequence of the video sources once the stream is probed: a 24-bit
  // width x height bitmap, a frame table of 2 slots with `ops`, the first frame decoded by
  // GetFrame into a temporary buffer of slot 0 and copied into the pixels, then Close.
  // 0; kResultNoMemory when the bitmap, table or buffer cannot be had; `decodeFailure` when
  // the first frame is not decoded.
  int32_t LoadVideo(RFileHandle file, int32_t width, int32_t height, const RVideoOps& ops, int32_t decodeFailure);
  // The same for a source whose probe already gave the first picture as 5-6-5 pixels: the
  // pixels are set to 0xFF bytes, then filled with the converted picture; no GetFrame call.
  // Close is called at the end here too.
  int32_t LoadVideoFrom565(const uint16_t* picture, size_t pitch, int32_t width, int32_t height,
                           const RVideoOps& ops);

  tagRDIBIMG record_;

 private:
  bool MakeDib(int32_t width, int32_t height, uint32_t bitsPerPixel, const RRgbQuad* palette, uint32_t paletteCount,
               void* dc);
  // Releases the bitmap and takes width x height as the size rows arrive in; false for a
  // size no bitmap can have.
  bool StartBitmap(int32_t width, int32_t height, uint32_t bitsPerPixel);
  // A bitmap of the box with the maps from the source size; nothing when either fails.
  bool MakeBoxDib(FitBox box, uint32_t bitsPerPixel, const RRgbQuad* palette, uint32_t paletteCount, void* dc);
  bool SetUpMaps(int32_t targetWidth, int32_t targetHeight);
  void FreeMaps();
  void ReleaseBitmap();
  int32_t BuildVideoTable(int32_t width, int32_t height, const RVideoOps& ops);

  uint8_t* rowBuffer_ = nullptr;
  int32_t* columnMap_ = nullptr;
  int32_t* rowMap_ = nullptr;
  uint32_t scaleFixed_ = 0;
  float scale_ = 1.0f;
  int32_t sourceWidth_ = 0;
  int32_t sourceHeight_ = 0;
};

}  // namespace crv
