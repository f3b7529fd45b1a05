// Windows-Media-style playlist files (".asx", ".wax", ".wvx", ".wmx"): the control expands
// them into its current playlist. The format is loose markup written by hand and by many
// tools, so the reader is a tolerant tag scanner rather than an XML parser; it also takes
// the older "[Reference]" text form some servers answer with. Platform-free: text is
// UTF-16 in char16_t strings (wchar_t is 32-bit outside Windows).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace crv {
namespace mediactl {

struct AsxEntry {
  std::u16string href;     // the first usable REF HREF of the ENTRY (or the ENTRYREF HREF), as written
  std::u16string title;    // the ENTRY's TITLE text, empty when none
  bool isListRef = false;  // an ENTRYREF: a nested list the caller may expand
};

constexpr size_t kMaxAsxBytes = 1 << 20;  // larger documents are refused
constexpr size_t kMaxAsxEntries = 1000;   // entries beyond this are dropped

// True for a path or URL whose extension is asx, wax, wvx or wmx (any case), ignoring a
// "?query" or "#fragment" part.
bool IsAsxPath(const std::u16string& path);

// Parses a list (UTF-16LE with BOM, or UTF-8 with or without BOM). False, with no entries,
// for an empty or oversized document or one without an <ASX> element; true otherwise, even
// with no entries.
bool ParseAsxList(const uint8_t* data, size_t size, std::vector<AsxEntry>& entries);

// The entry's href as a path or URL to open. URLs stay as they are, except "file://" ones,
// which become local paths; absolute paths keep their place with '/' turned into '\'; a
// relative href is joined to the folder of listPath (a path, or a URL joined with '/').
// ".." never climbs above the folder's root. An empty href gives an empty result.
std::u16string ResolveAsxEntry(const std::u16string& listPath, const std::u16string& href);

}  // namespace mediactl
}  // namespace crv
