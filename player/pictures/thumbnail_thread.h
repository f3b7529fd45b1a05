// ThumbnailThread: the album view's background loader. A WorkerThread makes the thumbnails
// one after the other through a ThumbnailLoader and reports each to a window by posting
// kMsgAlbumThumbnails; the window thread is never waited for.
#pragma once
#include <windows.h>

#include <cstdint>
#include "player/base/worker_thread.h"
#include "player/pictures/reader_registry.h"
#include "player/pictures/thumbnail_loader.h"

namespace crv {

// The frame's 0x46A: wParam is an item index. lParam kThumbnailsLoadFrom asks the album view
// to load thumbnails from that item on; kThumbnailMade is the loader's report that the item's
// thumbnail (or its failure) is in, so that its cell is drawn again.
constexpr UINT kMsgAlbumThumbnails = 0x46A;
enum ThumbnailNotice : LPARAM {
  kThumbnailsLoadFrom = 0,
  kThumbnailMade = 1,
};

class ThumbnailThread {
 public:
  ThumbnailThread(ThumbnailLoader& loader, const ReaderRegistry& registry) : loader_(loader), registry_(registry) {}
  ~ThumbnailThread() { Stop(); }
  ThumbnailThread(const ThumbnailThread&) = delete;
  ThumbnailThread& operator=(const ThumbnailThread&) = delete;

  // Loads from item `fromIndex` on, reporting to `notify`: a running thread only moves on to
  // that item; otherwise a new one starts. False when the thread cannot be created.
  bool Start(int32_t fromIndex, HWND notify);
  // Ends the thread: the readers' abort flag cuts the load in progress short, then the
  // worker's stop (which waits for it).
  void Stop();
  bool Running() const { return worker_.IsRunning() && !worker_.StopRequested(); }

 private:
  static DWORD Run(WorkerThread* thread, void* self);

  ThumbnailLoader& loader_;
  const ReaderRegistry& registry_;
  HWND notify_ = nullptr;  // set only while no thread runs
  WorkerThread worker_;
};

}  // namespace crv
