// What the two halves of the video view (video_view.cpp, video_view_loop.cpp) share and nothing
// else needs: the shown document and the scope of the playback lock.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "player/pictures/image_holder.h"
#include "player/playback/video_view.h"

namespace crv {

// The shown video: the loaded record (through the reader registry in media mode), its path and
// the video table's row that loaded it.
struct CVideoView::Document {
  ImageHolder holder;
  std::u16string path;
  int format = -1;
};

// The playback lock held for a scope: MPEG steps, closing and freeing the document.
class PlaybackLock {
 public:
  explicit PlaybackLock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
  ~PlaybackLock() { LeaveCriticalSection(&section_); }
  PlaybackLock(const PlaybackLock&) = delete;
  PlaybackLock& operator=(const PlaybackLock&) = delete;

 private:
  CRITICAL_SECTION& section_;
};

}  // namespace crv
