#include "player/media/source_state.h"

namespace crv {

namespace {

uint32_t g_loadFlags = 0;
std::atomic<int32_t> g_abort{0};
bool g_mediaMode = true;  // LoadMedia starts as 1

}  // namespace

uint32_t CurrentLoadFlags() { return g_loadFlags; }
void SetCurrentLoadFlags(uint32_t flags) { g_loadFlags = flags; }
std::atomic<int32_t>& AbortFlag() { return g_abort; }
bool MediaMode() { return g_mediaMode; }
void SetMediaMode(bool on) { g_mediaMode = on; }

}  // namespace crv
