#include "converter/batch_plan.h"

namespace conv {

BatchPlan PlanBatch(size_t paths, size_t rows) {
  BatchPlan plan;
  if (paths != rows || paths == 0) return plan;
  plan.count = paths > static_cast<size_t>(kMaxBatchFiles) ? kMaxBatchFiles : static_cast<int>(paths);
  plan.step = kProgressSpan / plan.count;
  plan.rangeMax = plan.step * plan.count;
  return plan;
}

int ProgressPosition(int base, int step, double x) {
  if (x < 0.0) x = 0.0;
  if (x > 1.0) x = 1.0;
  return base + static_cast<int>(x * step);
}

ProgressCall MapProgressMessage(int16_t message, int16_t operation, int32_t percentDone) {
  ProgressCall call;
  if (operation != kProgressOpExportMovie) return call;
  call.call = true;
  if (message == kProgressOpen) {
    call.x = kProgressStarting;
  } else if (message == kProgressUpdatePercent) {
    call.x = percentDone >= 0 && percentDone <= 0x10000 ? percentDone / 65536.0 : 0.0;
  } else {
    call.x = kProgressFinished;
  }
  return call;
}

}  // namespace conv
