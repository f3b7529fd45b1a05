// The XML entry layout shared by the library file "hvml.hvl" and the playlist files
// ".hvpl": a root element holding one "media" element per record, each with a "type"
// attribute and the child elements "location", "title", "artist", "album", "genre",
// "contrast" and "brightness".
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include "player/library/media_item.h"

namespace crv {
namespace media_xml {

constexpr char kLibraryRoot[] = "HVMediaLibrary";
constexpr char kPlaylistRoot[] = "HVPlaylist";

// Bounds on what is read: a larger file is not read at all; entries past the count are
// ignored; longer field texts are cut.
constexpr size_t kMaxFileBytes = size_t(64) << 20;
constexpr size_t kMaxEntries = 200000;
constexpr size_t kMaxFieldChars = 4096;

enum class ReadStatus {
  kMalformed,   // not XML, or not exactly one root element
  kEmptyRoot,   // the root element has no child nodes
  kListed,      // the "media" elements were listed (possibly none)
};

// Parses a document (UTF-8/UTF-16 with or without a byte-order mark, an XML declaration
// allowed) and hands every record built from a "media" element with child nodes to `take`,
// in document order. The root element's name is not checked. The type attribute counts only
// when the element has exactly one attribute; the location goes through SetLocation, so a
// known extension overrides the attribute.
ReadStatus ReadEntries(const char* data, size_t size,
                       const std::function<void(std::unique_ptr<CMediaItem>)>& take);

// The whole document for `items` (null pointers skipped) under the root `root_name`: UTF-8,
// no declaration, no indentation.
std::string WriteEntries(const char* root_name, const MediaItemList& items);

// Signed decimal as the loaders read contrast and brightness: leading blanks and a sign
// allowed, stops at the first non-digit, no digits gives 0; saturates at the 32-bit limits.
int32_t ParseDecimal(const u16& text);

// The value of the "type" attribute for a record type.
const char* TypeName(int32_t type);

}  // namespace media_xml
}  // namespace crv
