// Now Playing: the process-wide lock, the player's advance rule, the choice of the entry to
// play, and the edits that the media library dialog makes to the list (as operations on the
// list; the panel's side is reached through NowPlayingPanel).
#pragma once
#include <cstdint>
#include "player/library/playlist.h"

namespace crv {

// The one process-wide lock between the library dialog and the panel. Recursive, like the
// critical section it stands for. As an object it holds the lock for its lifetime.
class NowPlayingLock {
 public:
  NowPlayingLock() { Enter(); }
  ~NowPlayingLock() { Leave(); }
  NowPlayingLock(const NowPlayingLock&) = delete;
  NowPlayingLock& operator=(const NowPlayingLock&) = delete;

  static void Enter();
  static void Leave();
  static bool TryEnter();
};

// What the edits ask of the player control panel.
class NowPlayingPanel {
 public:
  virtual ~NowPlayingPanel() = default;
  // Playback stops; the current media stays loaded.
  virtual void StopPlayback() = 0;
  // Playback stops, the current media is closed, title and buttons are cleared.
  virtual void StopAndReset() = 0;
  // The panel takes the current entry and plays it.
  virtual void RequestPlayback() = 0;
  // The panel takes the current entry and loads it without playing.
  virtual void LoadWithoutPlaying() = 0;
};

// ---- How the player advances -------------------------------------------------------------

struct NavigationRequest {
  int32_t code = kStepCurrent;  // PlaylistStep for Advance
  bool stop_playback = false;   // playback is stopped before the step
  bool reset_current = false;   // current is set to 0 before the step
  int play_flag = 1;
};

// The Next command: next while there is one, else stop, current 0 and first.
NavigationRequest NextRequest(const CPlaylist& list, int play_flag);
// The Previous command: previous while there is one, else stop and first.
NavigationRequest PreviousRequest(const CPlaylist& list, int play_flag);
// The current entry ended: random with Shuffle on (the list never runs out); with Shuffle
// off next while there is one, else stop, current 0 and first with the play flag = Repeat.
NavigationRequest EntryEndedRequest(const CPlaylist& list, bool shuffle, bool repeat);
// Carries the request out on the list; returns Advance's entry.
CMediaItem* ApplyRequest(CPlaylist& list, const NavigationRequest& request);
// Whether the panel starts the entry a request chose: a request with play flag 0 only
// selects it, so that with Repeat off the list stops after its last entry.
bool StartsPlaying(const NavigationRequest& request);

// ---- Choosing an entry -------------------------------------------------------------------

// Clears every entry's current marker and sets `chosen`'s. Returns true when the panel has to
// open `chosen`, false when it is the same item as the one already `loaded` (or null).
bool MarkChosenEntry(CPlaylist& list, CMediaItem* chosen, const CMediaItem* loaded);

// ---- Now Playing edits (commands of the library dialog) ----------------------------------

// Play on a library item, a playlist's contents or a category: the entries are replaced by
// `items` (those whose files exist), current = 0 and playback is requested when any is left.
// Returns the number of entries.
int PlayItems(CPlaylist& list, const MediaItemList& items, NowPlayingPanel* panel);
int PlayItem(CPlaylist& list, const CMediaItem& item, NowPlayingPanel* panel);
// Queue Up: appends `item` unless the list already holds the same item or its file is
// missing. Takes NowPlayingLock.
bool QueueUp(CPlaylist& list, const CMediaItem& item);
// Play in the Now Playing view: all markers cleared, current = row, playback requested.
// Takes NowPlayingLock. False (nothing done) when no such row.
bool PlayRow(CPlaylist& list, int row, NowPlayingPanel* panel);
// Move Up / Move Down: the entry at `row` and its neighbour swap places (each position gets a
// copy of the other, markers travel); current is not changed. Return the row that the
// selection follows to, or -1 when nothing was done. Take NowPlayingLock.
int MoveUp(CPlaylist& list, int row);
int MoveDown(CPlaylist& list, int row);
// Remove from Playlist. For the playing entry (marker 1): the panel is stopped and reset,
// the entry removed, current = row - 1 (0 when negative) and, unless the list is now empty,
// the panel loads the new current entry without playing; the current row is selected.
// Otherwise the entry is removed and row 0 is selected. Returns the row to select, -1 for
// none. Takes NowPlayingLock.
int RemoveFromNowPlaying(CPlaylist& list, int row, NowPlayingPanel* panel);
// Clear Now Playing (after the dialog's confirmation): entries cleared, panel reset.
void ClearNowPlaying(CPlaylist& list, NowPlayingPanel* panel);

// A ".hvpl" path handed to the panel from outside the library: playback stops, the entries
// are loaded from the file (current keeps its value, clamped when played) and playback is
// requested. Returns CPlaylist::Load's result.
bool OpenPlaylistFromOutside(CPlaylist& list, const u16& path, NowPlayingPanel* panel);
// A single music or video file handed to the panel the same way.
bool OpenFileFromOutside(CPlaylist& list, const CMediaItem& item, NowPlayingPanel* panel);

}  // namespace crv
