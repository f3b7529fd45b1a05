#include "player/media/source_state.h"

namespace crv {

namespace {

uint32_t loadFlags = 0;
std::atomic<int32_t> abortFlag{0};
bool mediaMode = true;  // LoadMedia starts as 1

}  // namespace

uint32_t CurrentLoadFlags() { return loadFlags; }
void SetCurrentLoadFlags(uint32_t flags) { loadFlags = flags; }
std::atomic<int32_t>& AbortFlag() { return abortFlag; }
bool MediaMode() { return mediaMode; }
void SetMediaMode(bool on) { mediaMode = on; }

}  // namespace crv
