#include "player/app/handover.h"

namespace crv {

HandOverPlan PlanHandOver(const u16& commandLine, bool pathExists) {
  HandOverPlan plan;
  if (commandLine.empty()) {
    plan.writeExtType = true;  // ExtType = 0: nothing handed over
    return plan;
  }
  FileKind kind = ClassifyPath(commandLine);
  if (!pathExists || kind == kKindNone) return plan;
  plan.writeFileName = true;
  plan.writeExtType = true;
  plan.kind = kind;
  plan.message = kind == kKindPicture ? kMsgOpenImageFile : kMsgOpenMediaFile;
  return plan;
}

}  // namespace crv
