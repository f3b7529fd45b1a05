#include "player/media/video_facts.h"
#include "player/media/format_tables.h"

namespace crv {
namespace {
VideoFactsFn factsQueries[kVideoFormatCount] = {};
}

void RegisterVideoFacts(int videoFormat, VideoFactsFn query) {
  if (videoFormat >= 0 && videoFormat < kVideoFormatCount) factsQueries[videoFormat] = query;
}

bool QueryVideoFacts(int videoFormat, VideoFacts* facts) {
  if (videoFormat < 0 || videoFormat >= kVideoFormatCount || !factsQueries[videoFormat] || !facts) return false;
  *facts = VideoFacts{};
  return factsQueries[videoFormat](facts);
}

}  // namespace crv
