// ImgFmtAVI: the source for ".avi" files. Load opens the file through the AVI byte stream
// (AviStream: a local file, or the HTTP stream the link source opened), parses it (AviFile),
// sets up the codec layer and decodes frame 0 as the poster; the frame table's operations
// below then play it through the shared playback (video_playback.h): audio-led while the
// wave device plays the "01wb" stream, clock-led otherwise.
//
// All state is process-wide: one AVI at a time, user-interface thread only.
#pragma once
#include <cstdint>
#include "player/media/avi_file.h"
#include "player/media/img_fmt_base.h"

namespace crv {

class ImgFmtAVI final : public ImgFmtBase {
 public:
  // Binds the AVI byte stream to `file` unless it already is an HTTP stream (the link source
  // opens the URL into AviStream() and then calls this with no handle). 0, 1 (bitmap or table
  // not had) or 8 (not a RIFF AVI file, no movi list, no video, or frame 0 not decoded).
  int32_t Load(RFileHandle file, uint32_t loadFlags) override;
};

// The frame-table operations (RFrameTable's contract, frame_record.h).
int32_t AviStart(RFileHandle file, RWindow window, const char16_t* path, uint32_t sizeWord);
int32_t AviGetFrame(RFileHandle file, RFrameTable* table, intptr_t ownerCookie, int32_t slot);
int32_t AviStep(const uint16_t* overlay, int32_t frame, const RRect* source, const RRect* target, uint32_t flags);
int32_t AviClose();
const RVideoOps& AviVideoOps();

// Progress for the view: the frame count of the opened file (-1 before the first Start, the
// view's frame limit) and the frame played next.
int32_t AviFrameLimit();
int32_t AviCurrentFrame();
// The file parsed last (kept after Close for the facts query).
const AviFile& CurrentAviFile();

// Registers ImgFmtAVI for the video table's AVI row and the AVI facts query.
void RegisterAviSource();

}  // namespace crv
