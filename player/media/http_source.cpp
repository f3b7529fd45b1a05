#include "player/media/http_source.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "player/media/avi_source.h"
#include "player/media/format_tables.h"
#include "player/media/http_link.h"
#include "player/media/preload_plan.h"
#include "player/media/qt_player_source.h"
#include "player/media/rstream.h"
#include "player/media/source_state.h"
#include "player/media/stream_file.h"
#include "player/media/video_facts.h"
#include "player/media/video_playback.h"

namespace crv {

namespace {

constexpr uint32_t kDefaultWindowMs = 1000;
constexpr uint32_t kMinWindowMs = 100;
constexpr uint32_t kMaxWindowMs = 10000;
constexpr auto kPollInterval = std::chrono::milliseconds(100);
constexpr int kStopPolls = 10;  // how long a stop waits for the thread: about a second

std::atomic<uint32_t> windowMs{kDefaultWindowMs};

// One preload thread's own state, shared with the thread: a thread left to end on its own
// keeps its stream, and its `alive` flag is nobody else's.
struct PreloadJob {
  std::vector<PlanRun> runs;
  uint32_t plannedBlocks = 0;
  uint32_t generation = 0;
  std::shared_ptr<HttpStreamState> stream;
  std::atomic<bool> alive{true};
};

struct HttpMovie {
  // A process ending with a preload still running lets the thread go with it.
  ~HttpMovie() {
    if (thread.joinable()) thread.detach();
  }
  LinkedMovie kind = LinkedMovie::kNone;
  std::thread thread;
  std::shared_ptr<PreloadJob> job;
};

HttpMovie& Movie() {
  static HttpMovie movie;
  return movie;
}

// A thread only acts for the movie it was started for.
std::atomic<uint32_t> currentGeneration{0};

bool StillWanted(const PreloadJob& job) {
  return ThePreloadStatus().running.load(std::memory_order_acquire) &&
         currentGeneration.load(std::memory_order_acquire) == job.generation;
}

// What the view reads: the frames that can be played and the percentage for its overlay.
void Publish(const PreloadJob& job, int32_t lastPlayable, int32_t percent) {
  if (currentGeneration.load(std::memory_order_acquire) != job.generation) return;
  TheVideoPlayback().SetDownloadedFrames(lastPlayable + 1);
  if (percent >= 0) TheVideoPlayback().SetDownloadPercent(percent);
}

void RunPreload(std::shared_ptr<PreloadJob> job) {
  PreloadStatus& status = ThePreloadStatus();
  uint32_t fetched = 0;
  int32_t last = -1;
  bool stopped = false;
  status.progress.store(0);
  for (const PlanRun& run : job->runs) {
    for (uint16_t block : run.blocks) {
      if (!StillWanted(*job) || !job->stream->FetchBlock(block)) {
        stopped = true;
        break;
      }
      ++fetched;
      const uint8_t percent = static_cast<uint8_t>(uint64_t{fetched} * 100 / job->plannedBlocks);
      if (StillWanted(*job)) status.progress.store(percent);
      Publish(*job, last, percent);
    }
    if (stopped) break;
    last += run.frames;
    if (StillWanted(*job)) status.lastPlayable.store(last);
    Publish(*job, last, -1);
  }
  if (StillWanted(*job)) {
    status.progress.store(stopped ? kPreloadEnded : kPreloadComplete);
    // A failed fetch keeps the bar where it stood: what arrived stays playable, and the view
    // stops waiting for the rest.
    if (stopped) TheVideoPlayback().SetDownloadFailed(true);
    else Publish(*job, last, kPreloadComplete);
  } else if (currentGeneration.load() == job->generation) {
    status.progress.store(kPreloadEnded);
  }
  job->alive.store(false, std::memory_order_release);
}

// Asks the running thread to stop and waits for it about a second; a thread still held up
// by the network after that is let go.
void StopPreloadThread() {
  HttpMovie& movie = Movie();
  ThePreloadStatus().running.store(false, std::memory_order_release);
  currentGeneration.fetch_add(1);
  if (!movie.thread.joinable()) {
    movie.job.reset();
    return;
  }
  const bool running = movie.job && movie.job->alive.load(std::memory_order_acquire);
  if (running) ThePreloadStatus().progress.store(kPreloadEnded);
  for (int i = 0; i < kStopPolls && movie.job && movie.job->alive.load(std::memory_order_acquire); ++i)
    std::this_thread::sleep_for(kPollInterval);
  if (movie.job && movie.job->alive.load(std::memory_order_acquire)) movie.thread.detach();
  else movie.thread.join();
  movie.job.reset();
}

RStream& StreamOf(LinkedMovie kind) { return kind == LinkedMovie::kAvi ? AviStream() : QuickTimeStream(); }

int FactsRow(LinkedMovie kind) { return kind == LinkedMovie::kAvi ? kVideoAvi : kVideoQuickTime; }

bool LinkedFacts(VideoFacts* facts) {
  const LinkedMovie kind = Movie().kind;
  return kind != LinkedMovie::kNone && QueryVideoFacts(FactsRow(kind), facts);
}

ImgFmtBase* MakeHttpSource() { return new ImgFmtHTTP; }

// Plans the runs from frame 0 in the current plan. False when a read-ahead fails or the plan
// runs out of room.
bool PlanRuns(int32_t frameCount, RStepFn step) {
  PreloadPlan* plan = CurrentPlan();
  const uint32_t window = PreloadWindowMs();
  for (int32_t f = 0; f < frameCount;) {
    const int32_t last = step(nullptr, f, nullptr, nullptr, window);
    if (last < f || last >= frameCount || CurrentPlanMode() == kPlanFailed) return false;
    if (!plan->CloseRun(static_cast<uint32_t>(last + 1 - f))) return false;
    f = last + 1;
  }
  return plan->Finish();
}

}  // namespace

PreloadStatus& ThePreloadStatus() {
  static PreloadStatus status;
  return status;
}

void SetPreloadWindowMs(uint32_t ms) { windowMs.store(std::clamp(ms, kMinWindowMs, kMaxWindowMs)); }
uint32_t PreloadWindowMs() { return windowMs.load(); }

bool StartPreload(int32_t frameCount, RStepFn step) {
  StopPreloadThread();
  HttpMovie& movie = Movie();
  const std::shared_ptr<HttpStreamState> stream = StreamOf(movie.kind).http();
  if (!stream || !step || frameCount <= 0) return false;
  if (!AllocatePlan(stream->BlockCount())) return false;
  SetPlannedStream(stream.get());
  SetPlanMode(kPlanning);
  const bool planned = PlanRuns(frameCount, step);
  SetPlanMode(kPlanOff);
  SetPlannedStream(nullptr);
  PreloadPlan* plan = CurrentPlan();
  auto job = std::make_shared<PreloadJob>();
  if (planned && plan) {
    job->runs = plan->Runs();
    job->plannedBlocks = plan->PlannedBlocks();
  }
  FreePlan();
  if (!planned) return false;

  PreloadStatus& status = ThePreloadStatus();
  job->generation = currentGeneration.load();
  job->stream = stream;
  status.lastPlayable.store(-1);
  status.progress.store(0);
  TheVideoPlayback().SetDownloadedFrames(0);
  TheVideoPlayback().SetDownloadPercent(0);
  TheVideoPlayback().SetDownloadFailed(false);
  if (job->plannedBlocks == 0) {
    // Everything the movie needs arrived while it was opened.
    status.lastPlayable.store(frameCount - 1);
    status.progress.store(kPreloadComplete);
    TheVideoPlayback().SetDownloadedFrames(frameCount);
    TheVideoPlayback().SetDownloadPercent(kPreloadComplete);
    movie.job = std::move(job);
    return true;
  }
  status.running.store(true, std::memory_order_release);
  try {
    movie.thread = std::thread(RunPreload, job);
  } catch (...) {
    status.running.store(false);
    return false;
  }
  movie.job = std::move(job);
  return true;
}

std::vector<PlanRun> PlannedRuns() { return Movie().job ? Movie().job->runs : std::vector<PlanRun>{}; }
uint32_t PlannedBlocks() { return Movie().job ? Movie().job->plannedBlocks : 0; }

void CloseHttpMovie() {
  HttpMovie& movie = Movie();
  StopPreloadThread();
  if (AviStream().kind() == RStream::kHttp) AviStream().Close();
  if (QuickTimeStream().kind() == RStream::kHttp) QuickTimeStream().Close();
  movie.kind = LinkedMovie::kNone;
  SetPlanMode(kPlanOff);
  FreePlan();
}

int LinkedVideoFormat() {
  const LinkedMovie kind = Movie().kind;
  return kind == LinkedMovie::kNone ? -1 : FactsRow(kind);
}

bool ReadLinkFile(RFileHandle file, std::string& address) {
  if (!file || StreamFileSeek(file, 0, 0) != 0) return false;
  char data[kMaxLinkFileBytes + 1];
  uint32_t read = 0;
  if (!StreamFileRead(file, data, sizeof data, &read)) return false;
  return ReadLinkAddress(data, read, address);
}

int32_t ImgFmtHTTP::Load(RFileHandle file, uint32_t loadFlags) {
  ClearAbort();
  CloseHttpMovie();
  std::string address;
  if (!ReadLinkFile(file, address)) return kResultBadData;
  const LinkedMovie kind = LinkedMovieOf(address);
  if (kind == LinkedMovie::kNone) return kResultBadData;
  HttpMovie& movie = Movie();
  if (!StreamOf(kind).OpenUrl(address.c_str())) {
    StreamOf(kind).Close();
    return kResultBadData;
  }
  movie.kind = kind;

  std::unique_ptr<ImgFmtBase> source;
  if (kind == LinkedMovie::kAvi) source.reset(new ImgFmtAVI);
  else source.reset(new ImgFmtQT);
  tagRDIBIMG& own = source->Record();
  own.ownerCookie = record_.ownerCookie;
  std::memcpy(own.path, record_.path, sizeof own.path);
  // No handle: the source reads the HTTP stream just opened.
  int32_t result = source->Load(nullptr, loadFlags);
  if (result == kResultOk && (!own.frames || !own.frames->Step)) result = kResultBadData;
  if (result != kResultOk) {
    CloseHttpMovie();
    return result;
  }
  record_ = own;
  ResetRecord(own);

  VideoFacts facts;
  const int32_t frames = QueryVideoFacts(FactsRow(kind), &facts) ? facts.frames : 0;
  if (frames > 0) {
    const bool started = StartPreload(frames, record_.frames->Step);
    // The planning opened the movie again to read ahead in it; playback opens it afresh.
    if (record_.frames->Close) record_.frames->Close();
    if (!started) {
      CloseHttpMovie();
      return kResultNoMemory;
    }
  }
  return kResultOk;
}

void RegisterHttpSource() {
  RegisterSource(FormatTable::Video, kVideoUrlLink, &MakeHttpSource);
  RegisterSource(FormatTable::Video, kVideoRemoteLink, &MakeHttpSource);
  RegisterVideoFacts(kVideoUrlLink, &LinkedFacts);
  RegisterVideoFacts(kVideoRemoteLink, &LinkedFacts);
}

}  // namespace crv
