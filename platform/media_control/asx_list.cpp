#include "platform/media_control/asx_list.h"

#include <algorithm>
#include <utility>

namespace crv {
namespace mediactl {
namespace {

using u16 = std::u16string;
constexpr size_t npos = u16::npos;

// Longest entity body worth looking at ("#x0010FFFF" and a little slack).
constexpr size_t kMaxEntityChars = 16;

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v';
}

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

char16_t LowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c; }

u16 LowerAscii(u16 text) {
  for (char16_t& c : text) c = LowerAscii(c);
  return text;
}

// Whether `text` holds `lower` (small ASCII letters) at `pos`, ignoring case.
bool HasAt(const u16& text, size_t pos, const char* lower) {
  for (size_t k = 0; lower[k]; ++k) {
    if (pos + k >= text.size() || LowerAscii(text[pos + k]) != char16_t(lower[k])) return false;
  }
  return true;
}

u16 Trim(const u16& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

void AppendCodePoint(uint32_t cp, u16& out) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(char16_t(0xD800 + (cp >> 10)));
    out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(char16_t(cp));
  }
}

// Bytes as UTF-8. A byte that does not start a well-formed sequence stands for itself
// (Latin-1): lists written by old tools in a Western code page stay readable.
void AppendUtf8(const uint8_t* p, size_t n, u16& out) {
  size_t i = 0;
  while (i < n) {
    const uint8_t lead = p[i];
    uint32_t cp = lead;
    size_t length = 1;
    if (lead >= 0x80) {
      size_t follow = 0;
      uint32_t least = 0;
      if (lead >= 0xC2 && lead <= 0xDF) {
        follow = 1, cp = lead & 0x1F, least = 0x80;
      } else if (lead >= 0xE0 && lead <= 0xEF) {
        follow = 2, cp = lead & 0x0F, least = 0x800;
      } else if (lead >= 0xF0 && lead <= 0xF4) {
        follow = 3, cp = lead & 0x07, least = 0x10000;
      }
      bool ok = follow > 0 && n - i > follow;
      for (size_t k = 1; ok && k <= follow; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) ok = false;
        cp = (cp << 6) | (p[i + k] & 0x3F);
      }
      // Overlong forms, surrogates and values past Unicode are not UTF-8 either.
      if (ok && (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
      if (ok) {
        length = follow + 1;
      } else {
        cp = lead;
      }
    }
    AppendCodePoint(cp, out);
    i += length;
  }
}

void AppendUtf16(const uint8_t* p, size_t n, bool bigEndian, u16& out) {
  for (size_t i = 0; i + 1 < n; i += 2) {
    out.push_back(bigEndian ? char16_t((p[i] << 8) | p[i + 1]) : char16_t(p[i] | (p[i + 1] << 8)));
  }
}

// The document as UTF-16. A NUL ends it: nothing sensible follows one in a text list.
u16 DecodeDocument(const uint8_t* data, size_t size) {
  u16 text;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    AppendUtf16(data + 2, size - 2, false, text);
  } else if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
    AppendUtf16(data + 2, size - 2, true, text);
  } else if (size >= 2 && data[0] != 0 && data[1] == 0) {
    AppendUtf16(data, size, false, text);  // UTF-16LE written without its BOM
  } else {
    const size_t skip = (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) ? 3 : 0;
    AppendUtf8(data + skip, size - skip, text);
  }
  const size_t nul = text.find(u'\0');
  if (nul != npos) text.resize(nul);
  return text;
}

int DigitValue(char16_t c, int base) {
  if (IsDigit(c)) return c - u'0';
  if (base == 16 && c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (base == 16 && c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The character the entity body text[begin, end) stands for, or -1 when it is not one.
long EntityValue(const u16& text, size_t begin, size_t end) {
  if (begin == end) return -1;
  if (text[begin] == u'#') {
    size_t i = begin + 1;
    int base = 10;
    if (i < end && (text[i] == u'x' || text[i] == u'X')) base = 16, ++i;
    if (i == end) return -1;
    uint32_t value = 0;
    for (; i < end; ++i) {
      const int digit = DigitValue(text[i], base);
      if (digit < 0) return -1;
      value = value * base + digit;
      if (value > 0x10FFFF) return -1;  // checked each step, so it never overflows
    }
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return -1;
    return long(value);
  }
  static const struct {
    const char* name;
    char16_t ch;
  } kNamed[] = {{"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'}, {"quot", u'"'}, {"apos", u'\''}};
  for (const auto& named : kNamed) {
    if (std::char_traits<char>::length(named.name) == end - begin && HasAt(text, begin, named.name)) {
      return named.ch;
    }
  }
  return -1;
}

// Entities decoded; one that is unknown or invalid stays as written.
u16 DecodeEntities(const u16& text) {
  u16 out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == u'&') {
      const size_t limit = std::min(text.size(), i + 1 + kMaxEntityChars);
      size_t semi = i + 1;
      while (semi < limit && text[semi] != u';' && text[semi] != u'&') ++semi;
      if (semi < limit && text[semi] == u';') {
        const long value = EntityValue(text, i + 1, semi);
        if (value >= 0) {
          AppendCodePoint(uint32_t(value), out);
          i = semi + 1;
          continue;
        }
      }
    }
    out.push_back(text[i++]);
  }
  return out;
}

// ---- The "[Reference]" form: "RefN=<url>" lines.

bool IsRefKey(const u16& key) {
  if (key.size() < 4 || !HasAt(key, 0, "ref")) return false;
  return std::all_of(key.begin() + 3, key.end(), IsDigit);
}

void ReadReferenceList(const u16& text, size_t headerPos, std::vector<AsxEntry>& entries) {
  size_t lineStart = text.find(u'\n', headerPos);
  while (lineStart != npos && lineStart < text.size() && entries.size() < kMaxAsxEntries) {
    ++lineStart;
    size_t lineEnd = text.find(u'\n', lineStart);
    const u16 line = Trim(text.substr(lineStart, lineEnd == npos ? npos : lineEnd - lineStart));
    lineStart = lineEnd;
    if (!line.empty() && line[0] == u'[') break;  // the next section
    const size_t eq = line.find(u'=');
    if (eq == npos || !IsRefKey(Trim(line.substr(0, eq)))) continue;
    AsxEntry entry;
    entry.href = Trim(line.substr(eq + 1));
    if (!entry.href.empty()) entries.push_back(std::move(entry));
  }
}

// ---- The markup form.

struct Tag {
  u16 name;  // small letters
  bool closing = false;
  bool selfClosing = false;
  u16 href;  // the HREF attribute, entities decoded and trimmed
};

bool IsNameChar(char16_t c) {
  return IsAsciiLetter(c) || IsDigit(c) || c == u'_' || c == u':' || c == u'.' || c == u'-';
}

// Reads the document once from start to end. Anything unterminated (a quote, a tag, a
// comment) ends the reading; what was complete before it is kept.
class AsxReader {
 public:
  AsxReader(const u16& text, std::vector<AsxEntry>& entries) : text_(text), entries_(entries) {}

  // Whether the document has an <ASX> element.
  bool Run() {
    while (pos_ < text_.size() && !done_ && !Full()) {
      const size_t lt = text_.find(u'<', pos_);
      const size_t textEnd = lt == npos ? text_.size() : lt;
      if (inTitle_) titleText_.append(text_, pos_, textEnd - pos_);
      if (lt == npos) break;
      pos_ = lt;
      if (!ReadMarkup()) break;
    }
    CloseEntry();
    return seenAsx_;
  }

 private:
  bool Full() const { return entries_.size() >= kMaxAsxEntries; }

  void Add(u16 href, u16 title, bool isListRef) {
    if (Full() || href.empty()) return;
    AsxEntry entry;
    entry.href = std::move(href);
    entry.title = std::move(title);
    entry.isListRef = isListRef;
    entries_.push_back(std::move(entry));
  }

  void CloseTitle() {
    if (!inTitle_) return;
    if (title_.empty()) title_ = Trim(DecodeEntities(titleText_));
    titleText_.clear();
    inTitle_ = false;
  }

  void CloseEntry() {
    if (!inEntry_) return;
    CloseTitle();
    Add(std::move(href_), std::move(title_), false);
    href_.clear();
    title_.clear();
    inEntry_ = false;
  }

  // Skips past `terminator` from `from`; false when it never comes.
  bool SkipPast(const char16_t* terminator, size_t from, size_t* end) {
    const size_t at = text_.find(terminator, from);
    if (at == npos) return false;
    *end = at + std::char_traits<char16_t>::length(terminator);
    return true;
  }

  // The markup at pos_ ('<'): a comment, a declaration or a tag. False ends the reading.
  bool ReadMarkup() {
    size_t end = 0;
    if (HasAt(text_, pos_, "<!--")) {
      if (!SkipPast(u"-->", pos_ + 4, &end)) return false;
    } else if (HasAt(text_, pos_, "<![cdata[")) {
      if (!SkipPast(u"]]>", pos_ + 9, &end)) return false;
      // Title text is decoded at its end, so an ampersand of the section is kept literal.
      if (inTitle_) {
        for (size_t i = pos_ + 9; i + 3 < end; ++i) {
          if (text_[i] == u'&') {
            titleText_ += u"&amp;";
          } else {
            titleText_.push_back(text_[i]);
          }
        }
      }
    } else if (HasAt(text_, pos_, "<?")) {
      if (!SkipPast(u"?>", pos_ + 2, &end)) return false;
    } else if (HasAt(text_, pos_, "<!")) {
      if (!SkipPast(u">", pos_ + 2, &end)) return false;
    } else {
      Tag tag;
      if (!ReadTag(&tag, &end)) return false;
      pos_ = end;
      if (tag.name.empty()) {
        if (inTitle_) titleText_.push_back(u'<');  // a lone '<' is text
      } else {
        OnTag(tag);
      }
      return true;
    }
    pos_ = end;
    return true;
  }

  // The tag at pos_. A '<' not followed by a name gives an empty name and ends just past
  // the '<'. False when the tag is unterminated.
  bool ReadTag(Tag* tag, size_t* end) {
    const size_t n = text_.size();
    size_t i = pos_ + 1;
    if (i < n && text_[i] == u'/') tag->closing = true, ++i;
    const size_t nameStart = i;
    while (i < n && IsNameChar(text_[i])) ++i;
    if (i == nameStart || !(IsAsciiLetter(text_[nameStart]) || text_[nameStart] == u'_')) {
      *end = pos_ + 1;
      return true;
    }
    tag->name = LowerAscii(text_.substr(nameStart, i - nameStart));
    bool sawHref = false;
    for (;;) {
      while (i < n && IsSpace(text_[i])) ++i;
      if (i >= n) return false;
      if (text_[i] == u'>') {
        ++i;
        break;
      }
      if (text_[i] == u'/') {
        if (i + 1 < n && text_[i + 1] == u'>') {
          tag->selfClosing = true;
          i += 2;
          break;
        }
        ++i;
        continue;
      }
      const size_t attrStart = i;
      while (i < n && !IsSpace(text_[i]) && text_[i] != u'=' && text_[i] != u'>' && text_[i] != u'/') ++i;
      const u16 attr = LowerAscii(text_.substr(attrStart, i - attrStart));
      while (i < n && IsSpace(text_[i])) ++i;
      u16 value;
      if (i < n && text_[i] == u'=') {
        ++i;
        while (i < n && IsSpace(text_[i])) ++i;
        if (i >= n) return false;
        if (text_[i] == u'"' || text_[i] == u'\'') {
          const size_t close = text_.find(text_[i], i + 1);
          if (close == npos) return false;
          value = text_.substr(i + 1, close - i - 1);
          i = close + 1;
        } else {
          const size_t valueStart = i;
          while (i < n && !IsSpace(text_[i]) && text_[i] != u'>') ++i;
          // In HREF=a.wmv/> the slash closes the tag rather than ending the value.
          if (i < n && text_[i] == u'>' && i - 1 > valueStart && text_[i - 1] == u'/') --i;
          value = text_.substr(valueStart, i - valueStart);
        }
      }
      if (attr == u"href" && !sawHref) {
        tag->href = Trim(DecodeEntities(value));
        sawHref = true;
      }
    }
    *end = i;
    return true;
  }

  void OnTag(const Tag& tag) {
    const u16& name = tag.name;
    if (!seenAsx_) {
      // Whatever comes before the list's own element is not part of it.
      if (name == u"asx" && !tag.closing) seenAsx_ = true;
      return;
    }
    if (name == u"asx") {
      if (tag.closing) done_ = true;
    } else if (name == u"entry") {
      CloseEntry();  // also closes an ENTRY left open
      if (!tag.closing && !tag.selfClosing) inEntry_ = true;
    } else if (name == u"title") {
      if (!inEntry_) return;  // the list's own title is not an entry's
      if (tag.closing) {
        CloseTitle();
      } else if (!tag.selfClosing) {
        CloseTitle();
        inTitle_ = true;
      }
    } else if (tag.closing) {
      return;
    } else if (name == u"ref") {
      // The first REF with an address is the media; later ones are fall-backs.
      if (!inEntry_) {
        Add(tag.href, u16(), false);
      } else if (href_.empty()) {
        href_ = tag.href;
      }
    } else if (name == u"entryref") {
      CloseEntry();  // a sibling of ENTRY, so it ends one left open
      Add(tag.href, u16(), true);
    }
  }

  const u16& text_;
  std::vector<AsxEntry>& entries_;
  size_t pos_ = 0;
  bool seenAsx_ = false;
  bool done_ = false;
  bool inEntry_ = false;
  u16 href_;   // of the open entry
  u16 title_;  // of the open entry
  bool inTitle_ = false;
  u16 titleText_;  // raw text of the open TITLE
};

// ---- Resolving an entry's href.

// Length of a "scheme://" prefix, 0 when there is none. A single letter is a drive, not a scheme.
size_t SchemeLength(const u16& text) {
  if (text.empty() || !IsAsciiLetter(text[0])) return 0;
  size_t i = 1;
  while (i < text.size() && (IsAsciiLetter(text[i]) || IsDigit(text[i]) || text[i] == u'+' || text[i] == u'-' ||
                             text[i] == u'.')) {
    ++i;
  }
  if (i < 2 || text.compare(i, 3, u"://") != 0) return 0;
  return i + 3;
}

bool IsFileUrl(const u16& text) { return HasAt(text, 0, "file://"); }

bool IsDriveStart(const u16& text) { return text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == u':'; }

u16 Backslashes(u16 text) {
  std::replace(text.begin(), text.end(), u'/', u'\\');
  return text;
}

// "%XX" escapes decoded as UTF-8 bytes; "%00" and malformed escapes stay as written.
u16 PercentDecode(const u16& text) {
  u16 out;
  std::vector<uint8_t> bytes;
  auto flush = [&] {
    AppendUtf8(bytes.data(), bytes.size(), out);
    bytes.clear();
  };
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == u'%' && i + 2 < text.size() && DigitValue(text[i + 1], 16) >= 0 &&
        DigitValue(text[i + 2], 16) >= 0) {
      const int byte = DigitValue(text[i + 1], 16) * 16 + DigitValue(text[i + 2], 16);
      if (byte != 0) {
        bytes.push_back(uint8_t(byte));
        i += 3;
        continue;
      }
    }
    flush();
    out.push_back(text[i++]);
  }
  flush();
  return out;
}

// "file:///C:/x" -> "C:\x", "file:///x" -> "\x", "file://server/share/x" -> "\\server\share\x".
u16 FileUrlToPath(const u16& url) {
  u16 rest = url.substr(7);
  if (HasAt(rest, 0, "localhost/")) rest.erase(0, 9);
  rest = PercentDecode(rest);
  if (!rest.empty() && rest[0] == u'/' && IsDriveStart(rest.substr(1))) {
    rest.erase(0, 1);
  } else if (!rest.empty() && rest[0] != u'/' && !IsDriveStart(rest)) {
    rest = u"//" + rest;
  }
  return Backslashes(rest);
}

// Adds the components of `path` (either slash) to `parts`: "." is nothing, ".." removes
// the last one and is dropped when there is none, so nothing climbs above the root.
void AddComponents(const u16& path, std::vector<u16>& parts) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t sep = path.find_first_of(u"\\/", start);
    if (sep == npos) sep = path.size();
    const u16 part = path.substr(start, sep - start);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(part);
    }
    start = sep + 1;
  }
}

u16 Join(const std::vector<u16>& parts, char16_t separator) {
  u16 out;
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) out.push_back(separator);
    out += parts[k];
  }
  return out;
}

// Length of the root of a backslash path: "\\server\share\", "C:\", "C:", "\" or nothing.
size_t RootLength(const u16& path) {
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    const size_t server = path.find(u'\\', 2);
    if (server == npos) return path.size();
    const size_t share = path.find(u'\\', server + 1);
    // With no share part the last component is the list's own name.
    return share == npos ? server + 1 : share + 1;
  }
  if (IsDriveStart(path)) return (path.size() > 2 && path[2] == u'\\') ? 3 : 2;
  return (!path.empty() && path[0] == u'\\') ? 1 : 0;
}

// A relative href joined to the folder of a local list.
u16 JoinToPath(const u16& listPath, const u16& href) {
  const u16 base = IsFileUrl(listPath) ? FileUrlToPath(listPath) : Backslashes(listPath);
  const size_t root = RootLength(base);
  std::vector<u16> parts;
  const size_t lastSep = base.rfind(u'\\');
  if (lastSep != npos && lastSep >= root) AddComponents(base.substr(root, lastSep - root), parts);
  AddComponents(href, parts);
  u16 out = base.substr(0, root);
  if (!out.empty() && out.back() != u'\\' && out.back() != u':' && !parts.empty()) out.push_back(u'\\');
  return out + Join(parts, u'\\');
}

// An href of a list read from a web address: relative to its folder, or to its host for
// "/x" (the usual meaning on a web server). Local absolute paths stay local.
u16 JoinToUrl(const u16& listUrl, const u16& href) {
  if (IsDriveStart(href) || href[0] == u'\\') return Backslashes(href);
  const size_t schemeLength = SchemeLength(listUrl);
  if (href.size() >= 2 && href[0] == u'/' && href[1] == u'/') {
    return listUrl.substr(0, schemeLength - 2) + href;  // "http:" + "//host/x"
  }
  size_t end = listUrl.find_first_of(u"?#", schemeLength);
  if (end == npos) end = listUrl.size();
  size_t hostEnd = listUrl.find(u'/', schemeLength);
  if (hostEnd == npos || hostEnd > end) hostEnd = end;
  std::vector<u16> parts;
  if (href[0] != u'/') {
    const size_t lastSlash = listUrl.rfind(u'/', end - 1);
    if (lastSlash != npos && lastSlash > hostEnd) {
      AddComponents(listUrl.substr(hostEnd + 1, lastSlash - hostEnd - 1), parts);
    }
  }
  // The href's own query stays as written: its slashes are not folders.
  const size_t query = href.find_first_of(u"?#");
  AddComponents(href.substr(0, query), parts);
  const u16 tail = query == npos ? u16() : href.substr(query);
  return listUrl.substr(0, hostEnd) + u"/" + Join(parts, u'/') + tail;
}

bool HasListExtension(const u16& path, size_t end) {
  if (end == 0) return false;
  const size_t dot = path.rfind(u'.', end - 1);
  if (dot == npos) return false;
  const u16 ext = LowerAscii(path.substr(dot + 1, end - dot - 1));
  return ext == u"asx" || ext == u"wax" || ext == u"wvx" || ext == u"wmx";
}

}  // namespace

bool IsAsxPath(const u16& path) {
  // '?' cannot be in a file name, so it always starts a query. '#' can ("#1 hits.asx"), so it
  // starts a fragment only when the name does not already end in a list extension.
  size_t end = path.find(u'?');
  if (end == npos) end = path.size();
  if (HasListExtension(path, end)) return true;
  const size_t hash = path.find(u'#');
  return hash != npos && hash < end && HasListExtension(path, hash);
}

bool ParseAsxList(const uint8_t* data, size_t size, std::vector<AsxEntry>& entries) {
  entries.clear();
  if (data == nullptr || size == 0 || size > kMaxAsxBytes) return false;
  const u16 text = DecodeDocument(data, size);
  size_t start = 0;
  while (start < text.size() && IsSpace(text[start])) ++start;
  if (HasAt(text, start, "[reference]")) {
    ReadReferenceList(text, start, entries);
    return true;
  }
  AsxReader reader(text, entries);
  if (!reader.Run()) {
    entries.clear();
    return false;
  }
  return true;
}

u16 ResolveAsxEntry(const u16& listPath, const u16& href) {
  const u16 target = Trim(href);
  if (target.empty()) return target;
  if (SchemeLength(target) > 0) return IsFileUrl(target) ? FileUrlToPath(target) : target;
  if (SchemeLength(listPath) > 0 && !IsFileUrl(listPath)) return JoinToUrl(listPath, target);
  if (IsDriveStart(target) || target[0] == u'\\' || target[0] == u'/') return Backslashes(target);
  return JoinToPath(listPath, target);
}

}  // namespace mediactl
}  // namespace crv
