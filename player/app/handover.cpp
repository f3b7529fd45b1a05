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

FileKind ConsumeStartHandOver(SettingsStore& store, Options& options, bool pathExists) {
  FileKind kind = kKindNone;
  if (options.ExtType != kKindNone && pathExists) kind = ClassifyPath(u16(options.FileName));
  EndHandOver(store, options);
  return kind;
}

void EndHandOver(SettingsStore& store, Options& options) {
  options.ExtType = kKindNone;
  LoadSaveExtType(store, options.ExtType, Direction::Write);
}

u16 CommandLinePath(const u16& commandLine) {
  size_t begin = commandLine.find_first_not_of(u" \t");
  if (begin == u16::npos) return u16();
  size_t end = commandLine.find_last_not_of(u" \t") + 1;
  if (end - begin >= 2 && commandLine[begin] == u'"' && commandLine[end - 1] == u'"') {
    ++begin;
    --end;
  }
  return commandLine.substr(begin, end - begin);
}

}  // namespace crv
