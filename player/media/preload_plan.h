// The preload plan of an HTTP movie and the plan mode that makes stream reads record blocks
// into it instead of fetching them.
//
// The plan is a sequence of 16-bit words made of runs { block count, frame count, the block
// numbers }, ended by the run { 0, 0 }. Its capacity is (blocks + 1) x 3 words. While planning,
// every block a read needs and does not have goes into the open run, unless some run already
// holds it. Closing a run that recorded nothing adds its frames to the run before it (every run
// but the first holds at least one block).
//
// Both the plan and the plan mode are process-wide: one HTTP movie is planned at a time. The
// plan is written on the opening thread while no preload thread runs, then only read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace crv {

enum PlanMode : uint8_t {
  kPlanOff = 0,        // reads fetch what they need
  kPlanRequested = 1,  // the next read that needs a block allocates the plan first
  kPlanning = 2,       // reads record into the plan; nothing is fetched or copied
  kPlanFailed = 3,     // the plan could not be allocated or would not hold another word
};

uint8_t CurrentPlanMode();
void SetPlanMode(uint8_t mode);
// The one stream state whose reads the plan mode applies to (null: every stream's). Other
// streams (a download running beside the planning) read as usual.
void SetPlannedStream(const void* state);
const void* PlannedStream();

struct PlanRun {
  uint16_t frames = 0;
  std::vector<uint16_t> blocks;
};

class PreloadPlan {
 public:
  // A plan for a stream of `blocks` blocks, with an empty open run.
  bool Allocate(uint32_t blocks);
  size_t Capacity() const { return capacity_; }

  bool Contains(uint32_t block) const;
  // Adds the block to the open run; false when it is outside the stream, already planned, or
  // the words (with the open run's header and the terminating run) would not fit.
  bool Record(uint32_t block);
  // Closes the open run with its frame count; false when a frame count would not fit a word.
  bool CloseRun(uint32_t frames);
  // Writes the terminating run { 0, 0 }.
  bool Finish();

  uint32_t PlannedBlocks() const { return planned_; }
  size_t OpenRunBlocks() const { return used_ - open_ - 2; }
  const uint16_t* Words() const { return words_.get(); }
  // The words written so far: the closed runs (and the terminating run after Finish).
  size_t WordCount() const { return finished_ ? used_ : open_; }
  // The closed runs, in order.
  std::vector<PlanRun> Runs() const;

 private:
  std::unique_ptr<uint16_t[]> words_;
  std::unique_ptr<uint8_t[]> planned_map_;
  size_t capacity_ = 0;
  uint32_t blocks_ = 0;
  size_t open_ = 0;       // index of the open run's header
  size_t used_ = 0;       // words in use, the open run's header and blocks included
  size_t last_run_ = 0;   // index of the last closed run's header
  size_t closed_runs_ = 0;
  uint32_t planned_ = 0;
  bool finished_ = false;
};

// The process-wide plan: null while none is allocated.
PreloadPlan* CurrentPlan();
// Makes a new plan for `blocks` blocks in place of any other; null when memory is short.
PreloadPlan* AllocatePlan(uint32_t blocks);
void FreePlan();

}  // namespace crv
