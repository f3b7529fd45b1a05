#include "player/share/web_address.h"

#include <algorithm>

#include "player/base/file_kind.h"

namespace crv {
namespace {

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// "%XX" into the byte it stands for; a NUL ends the text.
u16 DecodeEscapes(const u16& text) {
  u16 out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'%' && i + 2 < text.size()) {
      const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        c = static_cast<char16_t>(high * 16 + low);
        i += 2;
      }
    }
    if (c == 0) break;
    out += c;
  }
  return out;
}

// "." and ".." segments of a path that starts with "/" resolved; ".." never climbs above it.
u16 ResolveDotSegments(const u16& path) {
  std::vector<u16> segments;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find(u'/', start);
    if (end == u16::npos) end = path.size();
    const u16 segment = path.substr(start, end - start);
    const bool last = end == path.size();
    if (segment == u"..") {
      if (!segments.empty()) segments.pop_back();
      if (last) segments.emplace_back();
    } else if (segment == u".") {
      if (last) segments.emplace_back();
    } else {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  u16 out;
  for (const auto& segment : segments) out += u'/' + segment;
  return out.empty() ? u16(u"/") : out;
}

bool IsDeviceName(const u16& name) {
  // The part before the first dot, without case and without trailing spaces.
  u16 stem = ToLower(name.substr(0, name.find(u'.')));
  while (!stem.empty() && stem.back() == u' ') stem.pop_back();
  for (const char16_t* device : {u"con", u"prn", u"aux", u"nul", u"clock$", u"conin$", u"conout$"})
    if (stem == device) return true;
  // COM0-9 and LPT0-9, and the superscript digits the system takes as ports as well.
  const u16 ports = u"0123456789\u00B9\u00B2\u00B3";
  if (stem.size() == 4 && (stem.compare(0, 3, u"com") == 0 || stem.compare(0, 3, u"lpt") == 0) &&
      ports.find(stem[3]) != u16::npos)
    return true;
  return false;
}

}  // namespace

void RememberUrl(std::vector<u16>& history, const u16& address) {
  const auto same = std::find(history.begin(), history.end(), address);
  if (same != history.end()) history.erase(same);
  else if (history.size() >= kMaxHistoryUrls) history.resize(kMaxHistoryUrls - 1);
  history.insert(history.begin(), address);
}

WebFileKind KindOfAddress(const u16& address) {
  switch (ClassifyGroup(address)) {
    case FileGroup::MediaPlatform:
    case FileGroup::MediaOwn: return WebFileKind::kMedia;
    case FileGroup::Picture: return WebFileKind::kPicture;
    default: return WebFileKind::kOther;
  }
}

bool PointsAtFile(const u16& address) {
  const size_t slash = address.rfind(u'/');
  if (slash == u16::npos || slash + 1 >= address.size()) return false;
  return KindOfAddress(address.substr(slash + 1)) != WebFileKind::kOther;
}

bool IsRtspAddress(const u16& address) { return address.size() >= 7 && EqualsNoCase(address.substr(0, 7), u"rtsp://"); }

bool IsWindowsMediaAddress(const u16& address) { return ClassifyGroup(address) == FileGroup::MediaPlatform; }

u16 CanonicalAddress(const u16& address) {
  const u16 decoded = DecodeEscapes(address);
  const size_t scheme = decoded.find(u"://");
  if (scheme == u16::npos) return decoded;
  const size_t path = decoded.find(u'/', scheme + 3);
  if (path == u16::npos) return decoded;
  // The query and fragment keep their text; only the path's segments are resolved.
  size_t tail = decoded.find_first_of(u"?#", path);
  if (tail == u16::npos) tail = decoded.size();
  return decoded.substr(0, path) + ResolveDotSegments(decoded.substr(path, tail - path)) + decoded.substr(tail);
}

void NormaliseLinkTags(std::string& page) {
  auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
  for (size_t i = 0; i + 7 <= page.size(); ++i) {
    if (page[i] != '<' || lower(page[i + 1]) != 'a' || page[i + 2] != ' ') continue;
    if (lower(page[i + 3]) == 'h' && lower(page[i + 4]) == 'r' && lower(page[i + 5]) == 'e' &&
        lower(page[i + 6]) == 'f')
      page.replace(i, 7, "<a href");
  }
}

u16 PageBase(const u16& address) {
  const size_t slash = address.rfind(u'/');
  if (slash != u16::npos && slash + 1 == address.size()) return address;
  return address + u'/';
}

std::vector<PageLink> ScanPageLinks(const u16& base, const std::string& page) {
  static const std::string kOpen = "<a href=\"";
  std::vector<PageLink> links;
  size_t at = 0;
  while ((at = page.find(kOpen, at)) != std::string::npos) {
    const size_t start = at + kOpen.size();
    const size_t end = page.find("\">", start);
    if (end == std::string::npos) break;  // a link without its end stops the scan
    u16 link;
    for (size_t i = start; i < end; ++i) link += static_cast<char16_t>(static_cast<unsigned char>(page[i]));
    at = end + 2;
    const u16 address = CanonicalAddress(base + link);
    if (KindOfAddress(address) == WebFileKind::kOther) continue;
    const size_t slash = address.rfind(u'/');
    links.push_back({address, slash == u16::npos ? address : address.substr(slash + 1)});
  }
  return links;
}

u16 DownloadFileName(const u16& address) {
  u16 name = address.substr(0, address.find_first_of(u"?#"));
  const size_t separator = name.find_last_of(u"/\\");
  if (separator != u16::npos) name.erase(0, separator + 1);
  for (char16_t& c : name)
    if (c < 0x20 || c == 0x7F || u16(u"<>:\"|?*").find(c) != u16::npos) c = u'_';
  while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
  while (!name.empty() && name.front() == u' ') name.erase(0, 1);
  if (name.empty() || IsDeviceName(name)) return u16();
  return name;
}

}  // namespace crv
