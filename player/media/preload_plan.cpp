#include "player/media/preload_plan.h"

#include <atomic>
#include <new>
#include <utility>

namespace crv {
namespace {

// Written by the opening thread and the cleanup, read by whichever thread reads the stream.
std::atomic<uint8_t> planMode{kPlanOff};
std::unique_ptr<PreloadPlan> currentPlan;

constexpr size_t kHeaderWords = 2;

}  // namespace

namespace {
std::atomic<const void*> plannedStream{nullptr};
}  // namespace

void SetPlannedStream(const void* state) { plannedStream.store(state); }
const void* PlannedStream() { return plannedStream.load(); }

uint8_t CurrentPlanMode() { return planMode.load(std::memory_order_acquire); }
void SetPlanMode(uint8_t mode) { planMode.store(mode, std::memory_order_release); }

bool PreloadPlan::Allocate(uint32_t blocks) {
  if (blocks > 0xFFFF) return false;
  const size_t capacity = (static_cast<size_t>(blocks) + 1) * 3;
  words_.reset(new (std::nothrow) uint16_t[capacity]());
  planned_map_.reset(new (std::nothrow) uint8_t[(blocks + 7) / 8 + 1]());
  if (!words_ || !planned_map_) {
    words_.reset();
    planned_map_.reset();
    capacity_ = 0;
    return false;
  }
  capacity_ = capacity;
  blocks_ = blocks;
  open_ = 0;
  used_ = kHeaderWords;
  last_run_ = 0;
  closed_runs_ = 0;
  planned_ = 0;
  finished_ = false;
  return true;
}

bool PreloadPlan::Contains(uint32_t block) const {
  return block < blocks_ && (planned_map_[block / 8] >> (block % 8)) & 1;
}

bool PreloadPlan::Record(uint32_t block) {
  if (!words_ || finished_ || block >= blocks_ || Contains(block)) return false;
  // Room for this block and, after the open run, the terminating run.
  if (used_ + 1 + kHeaderWords > capacity_) return false;
  words_[used_++] = static_cast<uint16_t>(block);
  planned_map_[block / 8] |= static_cast<uint8_t>(1u << (block % 8));
  ++planned_;
  return true;
}

bool PreloadPlan::CloseRun(uint32_t frames) {
  if (!words_ || finished_ || frames > 0xFFFF) return false;
  const size_t recorded = used_ - open_ - kHeaderWords;
  if (recorded == 0 && closed_runs_ > 0) {
    const uint32_t merged = words_[last_run_ + 1] + frames;
    if (merged > 0xFFFF) return false;
    words_[last_run_ + 1] = static_cast<uint16_t>(merged);
    return true;
  }
  // The next run's header (or the terminating run) goes right after this one.
  if (used_ + kHeaderWords > capacity_) return false;
  words_[open_] = static_cast<uint16_t>(recorded);
  words_[open_ + 1] = static_cast<uint16_t>(frames);
  last_run_ = open_;
  ++closed_runs_;
  open_ = used_;
  used_ = open_ + kHeaderWords;
  return true;
}

bool PreloadPlan::Finish() {
  if (!words_ || finished_) return false;
  // Blocks recorded into a run that was never closed are dropped from the plan.
  for (size_t i = open_ + kHeaderWords; i < used_; ++i) {
    const uint16_t block = words_[i];
    planned_map_[block / 8] &= static_cast<uint8_t>(~(1u << (block % 8)));
    --planned_;
  }
  words_[open_] = 0;
  words_[open_ + 1] = 0;
  used_ = open_ + kHeaderWords;
  finished_ = true;
  return true;
}

std::vector<PlanRun> PreloadPlan::Runs() const {
  std::vector<PlanRun> runs;
  for (size_t i = 0; i < open_;) {
    PlanRun run;
    const uint16_t count = words_[i];
    run.frames = words_[i + 1];
    run.blocks.assign(words_.get() + i + kHeaderWords, words_.get() + i + kHeaderWords + count);
    runs.push_back(std::move(run));
    i += kHeaderWords + count;
  }
  return runs;
}

PreloadPlan* CurrentPlan() { return currentPlan.get(); }

PreloadPlan* AllocatePlan(uint32_t blocks) {
  currentPlan.reset(new (std::nothrow) PreloadPlan);
  if (currentPlan && !currentPlan->Allocate(blocks)) currentPlan.reset();
  return currentPlan.get();
}

void FreePlan() { currentPlan.reset(); }

}  // namespace crv
