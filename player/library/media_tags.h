// A media file's own tags, read through libavformat's metadata: ID3v1 and ID3v2 in MP3, the
// ASF content description of WMA and WMV, the MP4/3GP atoms, RIFF INFO in WAV and AVI. The
// library update fills new records from them.
#pragma once
#include "player/base/byte_source.h"
#include "player/base/text16.h"
#include "player/library/media_item.h"

namespace crv {

struct MediaTags {
  u16 title, artist, album, genre;
};

// The longest value kept (the properties dialog's limit); longer ones are cut.
constexpr size_t kMaxTagLength = 260;

// Reads the tags of the file in `source`; `file_name` helps libavformat tell the format.
// False when the format is not recognised or the file cannot be read. Values are trimmed,
// control characters become spaces, and each is cut to kMaxTagLength characters.
bool ReadMediaTags(ByteSource& source, const u16& file_name, MediaTags* tags);

// The library update's tag reader: opens the record's file and sets its artist, album and
// genre, and its title when the file has one. A record whose file cannot be read is left as
// it was.
void ReadTagsInto(CMediaItem& item);

}  // namespace crv
