// The built-in entry's two format tables (video rows in media mode, picture rows otherwise),
// the extension lookup over a table, and the seam through which the sources plug in: each
// row index has a factory that makes its source object, registered at start-up by the code
// that owns the source (the AVI, QuickTime, MPEG and HTTP sources, the still formats).
#pragma once
#include <cstdint>

namespace crv {

class ImgFmtBase;

// One row: four words. A row whose extension list is null ends a table.
struct RFormatEntry {
  const char16_t* description;
  const char16_t* defaultExtension;
  const char16_t* extensions;  // UTF-16 strings one after another, ended by an empty one
  uintptr_t reserved;
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(RFormatEntry) == 16, "format table row is four words");
#endif

enum class FormatTable { Video, Image };

// Row indexes of the video table.
enum VideoFormat : int {
  kVideoMpeg = 0,
  kVideoAvi = 1,
  kVideoQuickTime = 2,
  kVideoUrlLink = 3,
  kVideoRemoteLink = 4,
  kVideoPlaylist = 5,  // never a source: playlists are opened by the panel
  kVideoFormatCount = 6,
};

// Row indexes of the image table.
enum ImageFormat : int {
  kImageBmp = 0,
  kImageJpeg = 1,
  kImageGif = 2,
  kImageTiff = 3,
  kImagePcx = 4,
  kImagePhotoCd = 5,
  kImagePnm = 6,
  kImageFormatCount = 7,
};

const RFormatEntry* FormatRows(FormatTable table);
// Rows before the end row.
int FormatRowCount(const RFormatEntry* rows);

// The row whose extension list holds the extension of `path`, compared without regard to
// case; the number of rows when none does; -1 when the file name has no "." (only the part
// after the last "\" or "/" counts, so a dot in a folder name is not an extension).
int FindFormatIndex(const char16_t* path, const RFormatEntry* rows);

// Makes a new source object (with new; the entry deletes it), or null when out of memory.
using SourceFactory = ImgFmtBase* (*)();

// Registers (or, with null, removes) the factory of a row. False for a row that cannot have
// a source (out of range, or the playlist row).
bool RegisterSource(FormatTable table, int index, SourceFactory factory);
// A new source for the row, or null when the row has none.
ImgFmtBase* CreateSource(FormatTable table, int index);

}  // namespace crv
