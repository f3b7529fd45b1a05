// Process-wide state of the sources: the load flags of the running load, the abort flag
// that long-running decoders poll, and the media-mode switch (the settings' LoadMedia) that
// picks the built-in entry's format table. One load and one video at a time.
#pragma once
#include <atomic>
#include <cstdint>

namespace crv {

uint32_t CurrentLoadFlags();
void SetCurrentLoadFlags(uint32_t flags);

// The abort flag is raised from another thread than the one loading (RAbortLoading from the
// window thread while the album's loader decodes), so it is atomic.
std::atomic<int32_t>& AbortFlag();
inline bool LoadAborted() { return AbortFlag().load(std::memory_order_relaxed) != 0; }
inline void ClearAbort() { AbortFlag().store(0, std::memory_order_relaxed); }

bool MediaMode();
void SetMediaMode(bool on);

}  // namespace crv
