#include "player/media/format_tables.h"

#include "player/base/text16.h"

namespace crv {

namespace {

// The literals carry a second terminator of their own, which ends each list.
const RFormatEntry kVideoRows[] = {
    {u"MPEG Video", u"mpg", u"mpe\0mpg\0mpeg\0", 0},
    {u"AVI Video", u"avi", u"avi\0", 0},
    {u"QuickTime Video", u"mov", u"mov\0qt\0", 0},
    {u"URL Link", u"url", u"url\0", 0},
    {u"Remove Video Link", u"rvl", u"rvl\0", 0},
    {u"Halvren Playlist", u"hvpl", u"hvpl\0", 0},
    {nullptr, nullptr, nullptr, 0},
};

const RFormatEntry kImageRows[] = {
    {u"Window and OS2 Bitmap Format", u"bmp", u"2bp\0bmp\0img\0", 0},
    {u"Standard JPEG Format", u"jpg", u"jpg\0jpe\0jpeg\0", 0},
    {u"Graphics Interchange Format", u"gif", u"gif\0", 0},
    {u"Tag Image File Format", u"tif", u"tif\0tiff\0cfx\0", 0},
    {u"ZSoft Publisher's Paintbrush", u"pcx", u"pcx\0", 0},
    {u"KODAC PhotoCD Format", u"pcd", u"pcd\0", 0},
    {u"Portable Graymap Format", u"raw", u"raw\0pgm\0ppm\0", 0},
    {nullptr, nullptr, nullptr, 0},
};

static_assert(sizeof(kVideoRows) / sizeof(kVideoRows[0]) == kVideoFormatCount + 1, "video rows");
static_assert(sizeof(kImageRows) / sizeof(kImageRows[0]) == kImageFormatCount + 1, "image rows");

SourceFactory videoSources[kVideoFormatCount];
SourceFactory imageSources[kImageFormatCount];

SourceFactory* FactorySlot(FormatTable table, int index) {
  if (table == FormatTable::Video)
    return index >= 0 && index < kVideoFormatCount && index != kVideoPlaylist ? &videoSources[index] : nullptr;
  return index >= 0 && index < kImageFormatCount ? &imageSources[index] : nullptr;
}

bool SameNoCase(const char16_t* a, size_t aLength, const char16_t* b) {
  for (size_t i = 0; i < aLength; ++i)
    if (!b[i] || FoldCase(a[i]) != FoldCase(b[i])) return false;
  return b[aLength] == 0;
}

}  // namespace

const RFormatEntry* FormatRows(FormatTable table) {
  return table == FormatTable::Video ? kVideoRows : kImageRows;
}

int FormatRowCount(const RFormatEntry* rows) {
  int n = 0;
  if (rows)
    while (rows[n].extensions) ++n;
  return n;
}

int FindFormatIndex(const char16_t* path, const RFormatEntry* rows) {
  const size_t length = Length16(path);
  size_t dot = length;
  for (size_t i = length; i-- > 0;) {
    if (path[i] == u'\\' || path[i] == u'/') break;
    if (path[i] == u'.') {
      dot = i;
      break;
    }
  }
  if (dot == length) return -1;
  const char16_t* ext = path + dot + 1;
  const size_t extLength = length - dot - 1;
  const int count = FormatRowCount(rows);
  for (int row = 0; row < count; ++row)
    for (const char16_t* e = rows[row].extensions; *e; e += Length16(e) + 1)
      if (SameNoCase(ext, extLength, e)) return row;
  return count;
}

bool RegisterSource(FormatTable table, int index, SourceFactory factory) {
  SourceFactory* slot = FactorySlot(table, index);
  if (!slot) return false;
  *slot = factory;
  return true;
}

ImgFmtBase* CreateSource(FormatTable table, int index) {
  SourceFactory* slot = FactorySlot(table, index);
  return slot && *slot ? (*slot)() : nullptr;
}

}  // namespace crv
