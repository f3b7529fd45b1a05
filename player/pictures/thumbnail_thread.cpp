#include "player/pictures/thumbnail_thread.h"

namespace crv {

bool ThumbnailThread::Start(int32_t fromIndex, HWND notify) {
  loader_.StartFrom(fromIndex);
  // A thread on its way out may already have searched past the new start; nothing is lost,
  // since only album changes (which stop the thread first) make new work.
  if (Running() && notify == notify_) return true;
  Stop();
  notify_ = notify;
  return worker_.Start(&ThumbnailThread::Run, this) != FALSE;
}

void ThumbnailThread::Stop() {
  if (worker_.IsRunning()) registry_.AbortLoading();
  worker_.Stop();
}

DWORD ThumbnailThread::Run(WorkerThread* thread, void* argument) {
  auto* self = static_cast<ThumbnailThread*>(argument);
  const ThumbnailLoader::StopTest stop = [thread] { return thread->StopRequested(); };
  for (;;) {
    const ThumbnailResult result = self->loader_.LoadNext(stop);
    if (result.outcome == ThumbnailOutcome::kAborted || result.outcome == ThumbnailOutcome::kNoneLeft) return 0;
    if (result.index >= 0)
      PostMessageW(self->notify_, kMsgAlbumThumbnails, static_cast<WPARAM>(result.index), kThumbnailMade);
  }
}

}  // namespace crv
