// What the media library dialog lists: the levels of the library (music and videos by
// artist, album and genre, the playlists), Now Playing and the device's folders, as rows with
// a node id, a record and a text; the chain of levels above each list; and what "Play" on a
// row puts into Now Playing. The dialog only shows these rows.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "player/library/media_library.h"
#include "player/library/playlist.h"

namespace crv {

// Node ids: a row's kind, and the list it opens.
enum LibraryNode : uint32_t {
  kNodeRoot = 34022,
  kNodeMyMusic = 34023,
  kNodeAllMusic = 34024,
  kNodeMusicArtists = 34025,
  kNodeMusicArtist = 34026,
  kNodeMusicAlbums = 34027,
  kNodeMusicAlbum = 34028,
  kNodeMusicGenres = 34029,
  kNodeMusicGenre = 34030,
  kNodeMyVideos = 34031,
  kNodeAllVideo = 34032,
  kNodeVideoArtists = 34033,
  kNodeVideoArtist = 34034,
  kNodeVideoAlbums = 34035,
  kNodeVideoAlbum = 34036,
  kNodeVideoGenres = 34037,
  kNodeVideoGenre = 34038,
  kNodePlaylists = 34039,
  kNodePlaylist = 34040,
  kNodeNowPlayingRow = 34041,
  kNodeNowPlaying = 34042,
  kNodeItem = 34043,
  kNodeFile = 34044,
  kNodeFolder = 34268,  // and 34268 + k: the k-th level of the folder path
  kNodeFolderLast = 34368,
};

enum class RowIcon { kFolder, kMusic, kVideo, kPlaylist, kPlaying };

struct LibraryRow {
  uint32_t node = 0;
  std::unique_ptr<CMediaItem> record;  // items and files only
  u16 text;                            // the title, the value, the folder or file name
  RowIcon icon = RowIcon::kFolder;
};
using LibraryRows = std::vector<LibraryRow>;

// One level of the chain above a list.
struct LibraryLevel {
  uint32_t node = 0;
  u16 text;
  RowIcon icon = RowIcon::kFolder;
};

// The fixed labels (the dialog loads them from its resources).
struct LibraryLabels {
  u16 library = u"Library", my_music = u"My Music", my_videos = u"My Videos";
  u16 all_music = u"All Music", all_video = u"All Video", artist = u"Artist", album = u"Album";
  u16 genre = u"Genre", my_playlists = u"My Playlists", now_playing = u"Now Playing";
  u16 file_system = u"File System";
  u16 all_songs = u"All Songs", all_videos = u"All Videos";
};

// Artist, album or genre values in the order the dialogs list them: without case, the exact
// text deciding between values equal without case.
void SortValuesNoCase(std::vector<u16>& values);

// Rows open a list (containers) or are played (items and files).
bool IsContainerNode(uint32_t node);
// The value nodes: an artist, album or genre of music or video.
bool IsValueNode(uint32_t node);

class LibraryBrowser {
 public:
  LibraryBrowser(const CMediaLibrary& library, const LibraryLabels& labels) : library_(library), labels_(labels) {}

  // The rows of a library node. `value` is the artist, album or genre of a value node, the
  // playlist file of kNodePlaylist.
  void List(uint32_t node, const u16& value, LibraryRows& out) const;
  // The chain from "Library" down to the node; a value node ends with its value.
  std::vector<LibraryLevel> Levels(uint32_t node, const u16& value) const;
  // One row per Now Playing entry; the entry being played has the playing icon.
  static void ListNowPlaying(const CPlaylist& now_playing, LibraryRows& out);

  // What "Play" on a container row plays: the items the row stands for (see the .cpp).
  void ItemsOfRow(const LibraryRow& row, MediaItemList& out) const;

 private:
  void ListFixed(std::initializer_list<uint32_t> nodes, LibraryRows& out) const;
  void ListItems(MediaItemList items, LibraryRows& out) const;
  void ListValues(uint32_t node, LibraryRows& out) const;
  void ItemsByValue(uint32_t value_node, const u16& value, MediaItemList& out) const;
  void ItemsGroupedBy(uint32_t list_node, MediaItemList& out) const;
  u16 Label(uint32_t node) const;

  const CMediaLibrary& library_;
  const LibraryLabels& labels_;
};

// ---- The file-system view ----------------------------------------------------------------

// Whether a file's extension makes it a row of the file-system view (the media types of both
// engines).
bool IsListedMediaFile(const u16& name);
// The folders of `folder` and its media files, hidden entries left out: folders first, then
// files, each by name without case.
void ListFolderRows(const u16& folder, LibraryRows& out);
// `folder` + "\" + `name` (no second backslash after the root).
u16 ChildFolder(const u16& folder, const u16& name);
// The chain of a folder path: "File System" (node 34268, the root "\"), then each folder of
// the path as 34268 + k. At most kNodeFolderLast - kNodeFolder levels below the root.
std::vector<LibraryLevel> FolderLevels(const u16& folder, const u16& root_label);
// The path of the k-th level of `folder` ("\" for 0).
u16 FolderAtLevel(const u16& folder, int level);

// ---- Playing ---------------------------------------------------------------------------------

// "Play" on an item row of a list: Now Playing becomes copies of every item row of the list
// in list order (those whose files exist), the chosen row's copy is marked as playing and
// becomes current, and playback is requested. Returns the index of the chosen entry, -1 when
// its file is missing (nothing is played then).
int PlayListFromRow(CPlaylist& now_playing, const LibraryRows& rows, int chosen, class NowPlayingPanel* panel);

}  // namespace crv
