// ImgFmtHTTP: the source for link files (".url", ".rvl"), which hold the address of an AVI or
// QuickTime movie on a web server. Load opens the address as the AVI or QuickTime byte stream
// and lets that source read the movie from it; then it plans which blocks each stretch of
// frames needs and starts the one preload thread, which fetches them in playing order and
// publishes how far the movie can be played and how much has arrived.
//
// One HTTP movie and one preload thread at a time, process-wide. CloseHttpMovie ends both.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>
#include "player/media/frame_record.h"
#include "player/media/img_fmt_base.h"
#include "player/media/preload_plan.h"

namespace crv {

class ImgFmtHTTP final : public ImgFmtBase {
 public:
  // 0; 1 when the movie opened but its preload could not be planned or started (the movie is
  // closed again then); 8 when the link file is unusable, the address names no AVI or
  // QuickTime movie, or the stream or movie fails.
  int32_t Load(RFileHandle file, uint32_t loadFlags) override;
};

// Progress values of the preload.
constexpr uint8_t kPreloadComplete = 120;  // every planned block fetched
constexpr uint8_t kPreloadEnded = 255;     // a fetch failed or the preload was asked to stop

struct PreloadStatus {
  std::atomic<bool> running{false};      // cleared to ask the thread to stop
  std::atomic<int32_t> lastPlayable{-1};  // the last frame whose blocks are all there
  std::atomic<uint8_t> progress{0};       // 0..100, kPreloadComplete or kPreloadEnded
};
PreloadStatus& ThePreloadStatus();

// The read-ahead window of the plan in milliseconds (the HTTPPreload setting), kept within
// 100..10000; 1000 until set.
void SetPreloadWindowMs(uint32_t ms);
uint32_t PreloadWindowMs();

// Plans the preload of the movie that `step` reads ahead in (its frame table's Step) and starts
// the thread. False when the plan cannot be made or the thread not started.
bool StartPreload(int32_t frameCount, RStepFn step);

// The runs of the running (or last started) preload, in order.
std::vector<PlanRun> PlannedRuns();
uint32_t PlannedBlocks();

// Ends the HTTP movie: the preload is asked to stop, the caller waits until the thread has
// ended, at most about a second, and both HTTP streams are closed: a thread held up by a
// server that stopped answering is left to end on its own (it keeps what it uses alive and
// publishes nothing any more). Nothing when no HTTP movie is open.
void CloseHttpMovie();

// The video table row of the movie the open link plays (kVideoAvi or kVideoQuickTime), or -1.
int LinkedVideoFormat();

// Reads a link file's address (shorter than 260 bytes, ended at CR, then at LF).
bool ReadLinkFile(RFileHandle file, std::string& address);

// Registers ImgFmtHTTP for the video table's link rows and the facts of the linked movie.
void RegisterHttpSource();

}  // namespace crv
