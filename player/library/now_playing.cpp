#include "player/library/now_playing.h"

#include <mutex>

namespace crv {
namespace {

std::recursive_mutex& LockObject() {
  static std::recursive_mutex lock;
  return lock;
}

void ClearMarkers(CPlaylist& list) {
  for (const auto& entry : list.Entries())
    if (entry) entry->SetCurrentMarker(0);
}

// Swaps the entries at rows a and b, each position replaced by a copy of the other.
void SwapRows(CPlaylist& list, int a, int b) {
  const CMediaItem first(*list.At(a));
  const CMediaItem second(*list.At(b));
  list.ReplaceAt(a, second);
  list.ReplaceAt(b, first);
}

}  // namespace

void NowPlayingLock::Enter() { LockObject().lock(); }
void NowPlayingLock::Leave() { LockObject().unlock(); }
bool NowPlayingLock::TryEnter() { return LockObject().try_lock(); }

NavigationRequest NextRequest(const CPlaylist& list, int play_flag) {
  NavigationRequest r;
  r.play_flag = play_flag;
  if (list.GetCurrent() + 1 < list.Count()) {
    r.code = kStepNext;
  } else {
    r.code = kStepFirst;
    r.stop_playback = true;
    r.reset_current = true;
  }
  return r;
}

NavigationRequest PreviousRequest(const CPlaylist& list, int play_flag) {
  NavigationRequest r;
  r.play_flag = play_flag;
  if (list.GetCurrent() - 1 >= 0) {
    r.code = kStepPrevious;
  } else {
    r.code = kStepFirst;
    r.stop_playback = true;
  }
  return r;
}

NavigationRequest EntryEndedRequest(const CPlaylist& list, bool shuffle, bool repeat) {
  NavigationRequest r;
  r.play_flag = 1;
  if (shuffle) {
    r.code = kStepRandom;
  } else if (list.GetCurrent() + 1 < list.Count()) {
    r.code = kStepNext;
  } else {
    r.code = kStepFirst;
    r.stop_playback = true;
    r.reset_current = true;
    r.play_flag = repeat ? 1 : 0;
  }
  return r;
}

CMediaItem* ApplyRequest(CPlaylist& list, const NavigationRequest& request) {
  if (request.reset_current) list.SetCurrent(0);
  return list.Advance(request.code);
}

bool StartsPlaying(const NavigationRequest& request) { return request.play_flag != 0; }

bool MarkChosenEntry(CPlaylist& list, CMediaItem* chosen, const CMediaItem* loaded) {
  ClearMarkers(list);
  if (!chosen) return false;
  chosen->SetCurrentMarker(1);
  return !chosen->IsSame(loaded);
}

int PlayItems(CPlaylist& list, const MediaItemList& items, NowPlayingPanel* panel) {
  list.Clear();
  for (const auto& item : items)
    if (item) list.Append(*item);
  list.SetCurrent(0);
  if (list.Count() > 0 && panel) panel->RequestPlayback();
  return list.Count();
}

int PlayItem(CPlaylist& list, const CMediaItem& item, NowPlayingPanel* panel) {
  MediaItemList one;
  one.push_back(std::make_unique<CMediaItem>(item));
  return PlayItems(list, one, panel);
}

bool QueueUp(CPlaylist& list, const CMediaItem& item) {
  NowPlayingLock lock;
  if (list.IndexOf(item) >= 0) return false;
  return list.Append(item);
}

bool PlayRow(CPlaylist& list, int row, NowPlayingPanel* panel) {
  {
    NowPlayingLock lock;
    if (row < 0 || row >= list.Count()) return false;
    ClearMarkers(list);
    list.SetCurrent(row);
  }
  if (panel) panel->RequestPlayback();
  return true;
}

int MoveUp(CPlaylist& list, int row) {
  NowPlayingLock lock;
  if (row <= 0 || row >= list.Count()) return -1;
  SwapRows(list, row - 1, row);
  return row - 1;
}

int MoveDown(CPlaylist& list, int row) {
  NowPlayingLock lock;
  if (row < 0 || row + 1 >= list.Count()) return -1;
  SwapRows(list, row, row + 1);
  return row + 1;
}

int RemoveFromNowPlaying(CPlaylist& list, int row, NowPlayingPanel* panel) {
  NowPlayingLock lock;
  CMediaItem* entry = list.At(row);
  if (!entry) return -1;
  const bool playing = entry->GetCurrentMarker() == 1;
  if (playing && panel) panel->StopAndReset();
  list.RemoveAt(row);
  if (!playing) return list.Count() > 0 ? 0 : -1;
  list.SetCurrent(row - 1 < 0 ? 0 : row - 1);
  if (list.Count() == 0) return -1;
  if (panel) panel->LoadWithoutPlaying();
  return list.GetCurrent();
}

void ClearNowPlaying(CPlaylist& list, NowPlayingPanel* panel) {
  {
    NowPlayingLock lock;
    list.Clear();
  }
  if (panel) panel->StopAndReset();
}

bool OpenPlaylistFromOutside(CPlaylist& list, const u16& path, NowPlayingPanel* panel) {
  if (panel) panel->StopPlayback();
  bool ok = list.Load(path);
  if (panel) panel->RequestPlayback();
  return ok;
}

bool OpenFileFromOutside(CPlaylist& list, const CMediaItem& item, NowPlayingPanel* panel) {
  if (panel) panel->StopPlayback();
  list.Clear();
  bool ok = list.Append(item);
  if (panel) panel->RequestPlayback();
  return ok;
}

}  // namespace crv
