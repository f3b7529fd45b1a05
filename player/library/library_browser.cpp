#include "player/library/library_browser.h"

#include <algorithm>

#include "player/base/device_fs.h"
#include "player/base/file_kind.h"
#include "player/library/now_playing.h"

namespace crv {
namespace {

// Which media type a level of the music or video branch lists.
int32_t TypeOfNode(uint32_t node) { return node >= kNodeMyVideos && node <= kNodeVideoGenre ? kMediaVideo : kMediaMusic; }

enum class Field { kArtist, kAlbum, kGenre };

// The field of an "Artist", "Album" or "Genre" list node and of its value node.
Field FieldOfNode(uint32_t node) {
  switch (node) {
    case kNodeMusicAlbums: case kNodeMusicAlbum: case kNodeVideoAlbums: case kNodeVideoAlbum: return Field::kAlbum;
    case kNodeMusicGenres: case kNodeMusicGenre: case kNodeVideoGenres: case kNodeVideoGenre: return Field::kGenre;
    default: return Field::kArtist;
  }
}

bool IsValueListNode(uint32_t node) {
  switch (node) {
    case kNodeMusicArtists: case kNodeMusicAlbums: case kNodeMusicGenres:
    case kNodeVideoArtists: case kNodeVideoAlbums: case kNodeVideoGenres: return true;
  }
  return false;
}

RowIcon IconOf(const CMediaItem& item) {
  switch (item.GetType()) {
    case kMediaVideo: return RowIcon::kVideo;
    case kMediaPlaylist: return RowIcon::kPlaylist;
    default: return RowIcon::kMusic;
  }
}

// Text order without case: the folded texts compared, the exact texts breaking ties so the
// order never depends on where a row started.
bool LessNoCase(const u16& a, const u16& b) {
  const u16 fa = ToLower(a), fb = ToLower(b);
  return fa != fb ? fa < fb : a < b;
}

LibraryRow ItemRow(uint32_t node, const CMediaItem& item) {
  LibraryRow row;
  row.node = node;
  row.record = std::make_unique<CMediaItem>(item);
  row.text = row.record->DisplayTitle();
  row.icon = IconOf(item);
  return row;
}

// The folder names of a path, "\" and empty names left out.
std::vector<u16> FolderNames(const u16& folder) {
  std::vector<u16> names;
  size_t start = 0;
  while (start <= folder.size()) {
    size_t end = folder.find(u'\\', start);
    if (end == u16::npos) end = folder.size();
    if (end > start) names.push_back(folder.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

}  // namespace

void SortValuesNoCase(std::vector<u16>& values) { std::stable_sort(values.begin(), values.end(), LessNoCase); }

bool IsContainerNode(uint32_t node) {
  if (node >= kNodeFolder && node <= kNodeFolderLast) return true;
  return node >= kNodeRoot && node <= kNodeNowPlaying;
}

bool IsValueNode(uint32_t node) {
  switch (node) {
    case kNodeMusicArtist: case kNodeMusicAlbum: case kNodeMusicGenre:
    case kNodeVideoArtist: case kNodeVideoAlbum: case kNodeVideoGenre: return true;
  }
  return false;
}

u16 LibraryBrowser::Label(uint32_t node) const {
  switch (node) {
    case kNodeRoot: return labels_.library;
    case kNodeMyMusic: return labels_.my_music;
    case kNodeMyVideos: return labels_.my_videos;
    case kNodeAllMusic: return labels_.all_music;
    case kNodeAllVideo: return labels_.all_video;
    case kNodeMusicArtists: case kNodeVideoArtists: return labels_.artist;
    case kNodeMusicAlbums: case kNodeVideoAlbums: return labels_.album;
    case kNodeMusicGenres: case kNodeVideoGenres: return labels_.genre;
    case kNodePlaylists: return labels_.my_playlists;
    case kNodeNowPlayingRow: case kNodeNowPlaying: return labels_.now_playing;
  }
  return u16();
}

void LibraryBrowser::ListFixed(std::initializer_list<uint32_t> nodes, LibraryRows& out) const {
  for (uint32_t node : nodes) {
    LibraryRow row;
    row.node = node;
    row.text = Label(node);
    out.push_back(std::move(row));
  }
}

void LibraryBrowser::ListItems(MediaItemList items, LibraryRows& out) const {
  for (const auto& item : items)
    if (item) out.push_back(ItemRow(kNodeItem, *item));
}

// "All Songs" or "All Videos" first, then the distinct values sorted without case.
void LibraryBrowser::ListValues(uint32_t node, LibraryRows& out) const {
  const int32_t type = TypeOfNode(node);
  LibraryRow all;
  all.node = type == kMediaVideo ? kNodeAllVideo : kNodeAllMusic;
  all.text = type == kMediaVideo ? labels_.all_videos : labels_.all_songs;
  out.push_back(std::move(all));
  std::vector<u16> values;
  switch (FieldOfNode(node)) {
    case Field::kArtist: library_.DistinctArtists(type, values); break;
    case Field::kAlbum: library_.DistinctAlbums(type, values); break;
    case Field::kGenre: library_.DistinctGenres(type, values); break;
  }
  SortValuesNoCase(values);
  for (auto& value : values) {
    LibraryRow row;
    row.node = node + 1;  // each list node is followed by its value node
    row.text = std::move(value);
    out.push_back(std::move(row));
  }
}

void LibraryBrowser::ItemsByValue(uint32_t value_node, const u16& value, MediaItemList& out) const {
  const int32_t type = TypeOfNode(value_node);
  switch (FieldOfNode(value_node)) {
    case Field::kArtist: library_.ItemsByArtist(type, value, out); break;
    case Field::kAlbum: library_.ItemsByAlbum(type, value, out); break;
    case Field::kGenre: library_.ItemsByGenre(type, value, out); break;
  }
}

void LibraryBrowser::List(uint32_t node, const u16& value, LibraryRows& out) const {
  out.clear();
  MediaItemList items;
  switch (node) {
    case kNodeRoot: ListFixed({kNodeMyMusic, kNodeMyVideos, kNodePlaylists, kNodeNowPlayingRow}, out); return;
    case kNodeMyMusic: ListFixed({kNodeAllMusic, kNodeMusicArtists, kNodeMusicAlbums, kNodeMusicGenres}, out); return;
    case kNodeMyVideos: ListFixed({kNodeAllVideo, kNodeVideoArtists, kNodeVideoAlbums, kNodeVideoGenres}, out); return;
    case kNodeAllMusic: library_.ItemsOfType(kMediaMusic, items); break;
    case kNodeAllVideo: library_.ItemsOfType(kMediaVideo, items); break;
    case kNodePlaylists:
      library_.ItemsOfType(kMediaPlaylist, items);
      for (const auto& item : items) out.push_back(ItemRow(kNodePlaylist, *item));
      return;
    case kNodePlaylist: LoadPlaylistFile(value, items); break;  // unreadable: an empty list
    default:
      if (IsValueListNode(node)) ListValues(node, out);
      else if (IsValueNode(node)) ItemsByValue(node, value, items);
      break;
  }
  ListItems(std::move(items), out);
}

std::vector<LibraryLevel> LibraryBrowser::Levels(uint32_t node, const u16& value) const {
  std::vector<LibraryLevel> levels;
  auto add = [&](uint32_t id, const u16& text) { levels.push_back({id, text, RowIcon::kFolder}); };
  add(kNodeRoot, labels_.library);
  if (node == kNodeRoot) return levels;
  if (node == kNodePlaylists || node == kNodePlaylist) {
    add(kNodePlaylists, labels_.my_playlists);
    if (node == kNodePlaylist) levels.push_back({kNodePlaylist, CMediaItem::DeriveTitle(value), RowIcon::kPlaylist});
    return levels;
  }
  if (node == kNodeNowPlaying || node == kNodeNowPlayingRow) {
    add(kNodeNowPlaying, labels_.now_playing);
    return levels;
  }
  const bool video = TypeOfNode(node) == kMediaVideo;
  add(video ? kNodeMyVideos : kNodeMyMusic, video ? labels_.my_videos : labels_.my_music);
  if (node == kNodeMyMusic || node == kNodeMyVideos) return levels;
  const uint32_t list = IsValueNode(node) ? node - 1 : node;
  add(list, Label(list));
  if (IsValueNode(node)) add(node, value);
  return levels;
}

void LibraryBrowser::ListNowPlaying(const CPlaylist& now_playing, LibraryRows& out) {
  out.clear();
  for (const auto& entry : now_playing.Entries()) {
    if (!entry) continue;
    LibraryRow row = ItemRow(kNodeItem, *entry);
    if (entry->GetCurrentMarker() == 1) row.icon = RowIcon::kPlaying;
    out.push_back(std::move(row));
  }
}

// An "Artist", "Album" or "Genre" row: the items of the type grouped by the distinct values of
// the field, the groups in library order, each sorted by title.
void LibraryBrowser::ItemsGroupedBy(uint32_t list_node, MediaItemList& out) const {
  const int32_t type = TypeOfNode(list_node);
  std::vector<u16> values;
  switch (FieldOfNode(list_node)) {
    case Field::kArtist: library_.DistinctArtists(type, values); break;
    case Field::kAlbum: library_.DistinctAlbums(type, values); break;
    case Field::kGenre: library_.DistinctGenres(type, values); break;
  }
  for (const auto& value : values) {
    MediaItemList group;
    ItemsByValue(list_node + 1, value, group);
    for (auto& item : group) out.push_back(std::move(item));
  }
}

void LibraryBrowser::ItemsOfRow(const LibraryRow& row, MediaItemList& out) const {
  out.clear();
  switch (row.node) {
    case kNodeAllMusic: library_.ItemsOfType(kMediaMusic, out); return;
    case kNodeAllVideo: library_.ItemsOfType(kMediaVideo, out); return;
    case kNodePlaylist:
      if (row.record) LoadPlaylistFile(row.record->GetLocation(), out);
      return;
  }
  if (IsValueListNode(row.node)) ItemsGroupedBy(row.node, out);
  else if (IsValueNode(row.node)) ItemsByValue(row.node, row.text, out);
}

// ---- The file-system view ----------------------------------------------------------------

bool IsListedMediaFile(const u16& name) {
  const FileGroup group = ClassifyGroup(name);
  return group == FileGroup::MediaPlatform || group == FileGroup::MediaOwn;
}

void ListFolderRows(const u16& folder, LibraryRows& out) {
  out.clear();
  LibraryRows files;
  for (const auto& entry : device_fs::ListMatches(ChildFolder(folder, u"*.*"))) {
    if (entry.hidden) continue;
    LibraryRow row;
    row.text = entry.name;
    if (entry.isFolder) {
      row.node = kNodeFolder;
      out.push_back(std::move(row));
    } else if (IsListedMediaFile(entry.name)) {
      row.node = kNodeFile;
      row.record = std::make_unique<CMediaItem>();
      row.record->SetLocation(ChildFolder(folder, entry.name));
      row.icon = IconOf(*row.record);
      files.push_back(std::move(row));
    }
  }
  auto by_text = [](const LibraryRow& a, const LibraryRow& b) { return LessNoCase(a.text, b.text); };
  std::sort(out.begin(), out.end(), by_text);
  std::sort(files.begin(), files.end(), by_text);
  for (auto& row : files) out.push_back(std::move(row));
}

u16 ChildFolder(const u16& folder, const u16& name) {
  if (!folder.empty() && folder.back() == u'\\') return folder + name;
  return folder + u'\\' + name;
}

std::vector<LibraryLevel> FolderLevels(const u16& folder, const u16& root_label) {
  std::vector<LibraryLevel> levels{{kNodeFolder, root_label, RowIcon::kFolder}};
  const std::vector<u16> names = FolderNames(folder);
  for (size_t k = 0; k < names.size() && kNodeFolder + k + 1 <= kNodeFolderLast; ++k)
    levels.push_back({static_cast<uint32_t>(kNodeFolder + k + 1), names[k], RowIcon::kFolder});
  return levels;
}

u16 FolderAtLevel(const u16& folder, int level) {
  u16 path = u"\\";
  const std::vector<u16> names = FolderNames(folder);
  for (int k = 0; k < level && k < static_cast<int>(names.size()); ++k) path = ChildFolder(path, names[k]);
  return path;
}

// ---- Playing ---------------------------------------------------------------------------------

int PlayListFromRow(CPlaylist& now_playing, const LibraryRows& rows, int chosen, NowPlayingPanel* panel) {
  if (chosen < 0 || chosen >= static_cast<int>(rows.size()) || !rows[chosen].record) return -1;
  // A file gone since the list was made leaves Now Playing as it was.
  if (!device_fs::FileExists(rows[chosen].record->GetLocation())) return -1;
  int chosen_entry = -1;
  {
    NowPlayingLock lock;
    now_playing.Clear();
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      if (rows[i].node != kNodeItem || !rows[i].record) continue;
      if (!now_playing.Append(*rows[i].record)) continue;  // its file is gone
      if (i == chosen) chosen_entry = now_playing.Count() - 1;
    }
    for (const auto& entry : now_playing.Entries()) entry->SetCurrentMarker(0);
    if (chosen_entry < 0) return -1;
    now_playing.At(chosen_entry)->SetCurrentMarker(1);
    now_playing.SetCurrent(chosen_entry);
  }
  if (panel) panel->RequestPlayback();
  return chosen_entry;
}

}  // namespace crv
