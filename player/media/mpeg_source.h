// ImgFmtMPG: the source for ".mpe", ".mpg" and ".mpeg" files. Everything about the stream is
// done by the MPEG library (mpeg_library.h), which opens the file by its path: Load probes it
// for the size and the first picture, and the frame-table operations below hand the view's
// window, rectangles and commands to the library and show the pictures it calls back with
// through the display output, over the process-wide 5-6-5 frame buffer.
//
// All state is process-wide: one video at a time, user-interface thread only.
#pragma once
#include <cstdint>
#include <string>

#include "player/media/frame_record.h"
#include "player/media/img_fmt_base.h"
#include "player/media/mpeg_library.h"

namespace crv {

class ImgFmtMPG final : public ImgFmtBase {
 public:
  // Probes the record's path through the library: 0, 1 (bitmap or table not had) or 8 (no
  // library, or the file is not a stream it plays). The handle stays the caller's to close.
  int32_t Load(RFileHandle file, uint32_t loadFlags) override;
};

// Registers ImgFmtMPG for the video table's MPEG row.
void RegisterMpegSource();

// Delivers and loads the library from "codecs.dat" beside the program (LoadMpegLibraryWith
// over the system loader): 0, or -1; nothing when it is loaded already.
int32_t LoadMpegLibrary();
// "p", the module freed, the entries cleared, the temporary file deleted; the picture on
// screen and a pending capture are forgotten.
void UnloadMpegLibrary();
bool MpegLibraryLoaded();

// The view's rectangles for the pictures (source in video pixels, target in screen
// coordinates), its angle in degrees and its landscape flag; set at layout and before Start.
struct MpegViewGeometry {
  RRect source;
  RRect target;
  int angle;
  bool landscape;
};
void SetMpegViewGeometry(const MpegViewGeometry& g);

// The view's commands, each a no-op (or -1) without the library.
void MpegBeforePlay();                      // "o"(0): the next Step plays from the start
void MpegBeforeResume();                    // "o"(1): ... from the picture shown last (after a pause)
void MpegSetVolume(int percent, bool mute); // "m" with the mute flag, "v" with percent x 0.01
void MpegStop();                            // "x"(1), "s"(0) when present, "x"(0)
int64_t MpegPositionMs(int32_t position, int32_t range);  // "mr": position / range of the length
int32_t MpegSeekMs(int64_t ms);             // "br": whole seconds reached, -1 without library
void MpegPlaybackEnded();                   // "cc"(0)
// A picture has been shown since Start.
bool MpegFrameShown();

// The frame-table operations (RFrameTable's contract, frame_record.h). Start takes no handle
// and the size word (height << 16) | width; Step takes no arguments that matter.
int32_t MpegStart(RFileHandle file, RWindow window, const char16_t* path, uint32_t sizeWord);
int32_t MpegGetFrame(RFileHandle file, RFrameTable* table, intptr_t ownerCookie, int32_t slot);
int32_t MpegStep(const uint16_t* overlay, int32_t frame, const RRect* source, const RRect* target, uint32_t flags);
int32_t MpegClose();
const RVideoOps& MpegVideoOps();

// The path as the library takes it: UTF-8 (what libavformat opens on Windows) of at most 260
// UTF-16 characters, up to the first NUL.
std::string MpegLibraryPath(const char16_t* path);

}  // namespace crv
