// ImgFmtQT: the source for ".mov" and ".qt" movies. It opens the movie through the atom reader
// (QtFile) over the process-wide QuickTime byte stream, sets up the codec layer for the first
// video track, decodes the poster, and leaves a frame table whose four operations play the
// movie through the shared playback (video_playback.h): audio-led while the first sound track
// plays, clock-led through the frame time table otherwise.
//
// All of the playback state is process-wide: one movie at a time, user-interface thread only.
#pragma once
#include <cstdint>
#include "player/media/img_fmt_base.h"
#include "player/media/qt_file.h"
#include "player/media/video_facts.h"

namespace crv {

class ImgFmtQT final : public ImgFmtBase {
 public:
  // Opens the movie from the handle (or from the QuickTime stream when that is an HTTP
  // stream), sets up the codec and decodes the first frame. 0; 1 when the bitmap or table
  // cannot be had; 8 without a "moov", a video track, a codec that can be set up, or a
  // decodable first frame.
  int32_t Load(RFileHandle file, uint32_t loadFlags) override;
};

// The frame-table operations (the contracts of frame_record.h).
int32_t QtStart(RFileHandle file, RWindow window, const char16_t* path, uint32_t sizeWord);
int32_t QtGetFrame(RFileHandle file, RFrameTable* table, intptr_t ownerCookie, int32_t slot);
int32_t QtStep(const uint16_t* overlay, int32_t frame, const RRect* source, const RRect* target, uint32_t flags);
int32_t QtClose();
RVideoOps QtVideoOps();

// Progress for the view: the opened movie's frame count (0 when none is open) and the frame
// playback continues from.
int32_t QtFrameCount();
int32_t QtCurrentFrame();
// Seconds played, for the view's 500 ms timer: see QtElapsedForCodec; 0 without a movie.
double QtPlaybackElapsedSeconds();

// The movie opened last (null when none is open); for the progress information and tests.
const QtFile* QtOpenedFile();

// ---- Rules, apart from any state -------------------------------------------------------------

// The elapsed seconds of the view's timer: the larger of the sound's position over its rate and
// the video's position over the frame rate, the frame rate first multiplied by 10 for "SVQ1"
// video; 0 when neither position is positive.
double QtElapsedForCodec(const QtFile& file, uint64_t audioPosition, uint32_t videoPosition);

// Video frames that carry sound: those whose start lies before the end of the sound (all of
// them when the sound lasts as long as the video; 0 without sound).
int32_t QtSoundFrames(const QtFile& file);

// The clock's due frame: the first frame whose start + duration exceeds `elapsedUs`; past the
// last frame the frame count (a late frame is decoded, never waited for). 0 for an empty table.
int32_t QtDueFrame(const std::vector<QtFrameTime>& times, int64_t elapsedUs);
// The sync sample at or before `frame` (0-based) from a sync-sample table of 1-based numbers;
// an empty table (every sample is one) or a frame before the first gives `frame` back.
int32_t QtSyncSampleAtOrBefore(const std::vector<uint32_t>& sync, int32_t frame);

// The end-of-sound rule: with the sound of the frames before `unwrappedCounter` queued in a
// ring of `buffers`, the audible frame is unwrappedCounter - buffers; once it has reached the
// last frame that carries sound (soundFrames - 1) the sound has ended.
bool QtSoundEnded(int64_t unwrappedCounter, int buffers, int32_t soundFrames);

// ---- Registration ---------------------------------------------------------------------------

// What the source learned of the movie it opened last.
bool QtVideoFacts(VideoFacts* facts);
// Registers ImgFmtQT for the video table's QuickTime row and its facts query.
void RegisterQtSource();

}  // namespace crv
