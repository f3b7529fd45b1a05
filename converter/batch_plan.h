// The arithmetic of a batch: how many files one "Convert All" takes, the progress bar's
// range, the part of it each file owns, and how the movie progress procedure's messages
// become calls of the dialog's progress function.
#pragma once
#include <cstddef>
#include <cstdint>

#include "converter/movie_engine.h"

namespace conv {

constexpr int kMaxBatchFiles = 32767;
constexpr int kProgressSpan = 32767;

struct BatchPlan {
  int count = 0;     // files this batch converts (0: the batch ends at once)
  int step = 0;      // progress units per file
  int rangeMax = 0;  // the progress bar runs 0 .. rangeMax
};

// `paths` entries in the hidden list, `rows` in the visible one: they must agree.
BatchPlan PlanBatch(size_t paths, size_t rows);

inline int ProgressBase(const BatchPlan& plan, int index) { return index * plan.step; }

// Position for x = 0.0 .. 1.0 of the file that starts at `base`.
int ProgressPosition(int base, int step, double x);

constexpr double kProgressStarting = -1.0;
constexpr double kProgressFinished = -2.0;

struct ProgressCall {
  bool call = false;  // false: the procedure returns 0 without calling
  double x = 0.0;
};

// What the progress procedure passes on for (message, operation, percent as 16.16 fixed).
ProgressCall MapProgressMessage(int16_t message, int16_t operation, int32_t percentDone);

}  // namespace conv
