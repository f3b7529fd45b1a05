#include "player/media/video_facts.h"
#include "player/media/format_tables.h"

namespace crv {
namespace {
VideoFactsFn g_queries[kVideoFormatCount] = {};
}

void RegisterVideoFacts(int videoFormat, VideoFactsFn query) {
  if (videoFormat >= 0 && videoFormat < kVideoFormatCount) g_queries[videoFormat] = query;
}

bool QueryVideoFacts(int videoFormat, VideoFacts* facts) {
  if (videoFormat < 0 || videoFormat >= kVideoFormatCount || !g_queries[videoFormat] || !facts) return false;
  *facts = VideoFacts{};
  return g_queries[videoFormat](facts);
}

}  // namespace crv
