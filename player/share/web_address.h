// The rules of "Open URL..." that need no network: the address history, whether an address
// names a file, the canonical form of an address, the links of a web page, and the local name
// a downloaded file gets.
#pragma once
#include <cstddef>
#include <string>
#include <vector>
#include "player/base/text16.h"

namespace crv {

constexpr size_t kMaxHistoryUrls = 20;
constexpr size_t kMaxUrlChars = 2084;
constexpr size_t kPageBytes = 16384;  // the part of a web page that is read for its links

// ---- The history -------------------------------------------------------------------------------

// Puts `address` at the top of the history: an equal address (exact comparison) moves up
// instead of being repeated; a full history loses its last address.
void RememberUrl(std::vector<u16>& history, const u16& address);

// ---- Kinds of address --------------------------------------------------------------------------

enum class WebFileKind { kOther, kMedia, kPicture };

// By the extension at the end of the address, without case (the player's media lists and the
// picture list).
WebFileKind KindOfAddress(const u16& address);
// Whether the address names a file: a "/" followed by a name of kind media or picture.
bool PointsAtFile(const u16& address);
// "rtsp://" addresses are not tested for a connection first.
bool IsRtspAddress(const u16& address);
// The Windows Media types, which the hosted player plays.
bool IsWindowsMediaAddress(const u16& address);

// ---- Canonical form ----------------------------------------------------------------------------

// Escapes ("%41") decoded into the characters they stand for (each byte one character, as
// 8-bit text), "." and ".." path segments after the host resolved. An escape of a NUL ends
// the address there.
u16 CanonicalAddress(const u16& address);

// ---- A web page's links --------------------------------------------------------------------------

// "<" followed by "a", one space and "href" in any case becomes "<a href".
void NormaliseLinkTags(std::string& page);
// The address a page's links are taken relative to: the address with "/" appended when the
// text after its last "/" is not empty.
u16 PageBase(const u16& address);

struct PageLink {
  u16 address;  // base + link, canonical
  u16 name;     // the text after its last "/", as the row shows it
};
// The links of `page` (the bytes read, normalised) that name media or pictures, in page order,
// repeats kept: each `<a href="` ... `">`; a link without its end stops the scan.
std::vector<PageLink> ScanPageLinks(const u16& base, const std::string& page);

// ---- Downloads ---------------------------------------------------------------------------------

// The file name a download of the (canonical) address is stored under in "\My Documents":
// the text after its last "/" or "\", without a query or fragment, with the characters a
// file name cannot hold replaced by "_" and trailing dots and spaces dropped. Empty when no
// safe name is left: nothing, "." or "..", or a device name ("CON", "NUL", "COM1", ...
// with or without an extension).
u16 DownloadFileName(const u16& address);

}  // namespace crv
