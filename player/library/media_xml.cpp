#include "player/library/media_xml.h"

#include <cstring>
#include <pugixml.hpp>

namespace crv {
namespace media_xml {
namespace {

struct TextField {
  const char* name;
  void (CMediaItem::*set)(const u16&);
};
// In the order of the file; the location goes through SetLocation, which may set the type.
const TextField kTextFields[] = {
    {"location", &CMediaItem::SetLocation}, {"title", &CMediaItem::SetTitle},
    {"artist", &CMediaItem::SetArtist},     {"album", &CMediaItem::SetAlbum},
    {"genre", &CMediaItem::SetGenre},
};

bool IsElement(const pugi::xml_node& n) { return n.type() == pugi::node_element; }

// The element's text: its character-data children in order, cut at the field bound. (The
// XML DOM would also take the text of nested elements; the files never have any, and
// walking whole subtrees for every field would make deeply nested input quadratic.)
u16 TextOf(const pugi::xml_node& element) {
  std::string utf8;
  const size_t max_bytes = kMaxFieldChars * 3;
  for (pugi::xml_node n = element.first_child(); n && utf8.size() < max_bytes; n = n.next_sibling()) {
    if (n.type() != pugi::node_pcdata && n.type() != pugi::node_cdata) continue;
    const char* v = n.value();
    size_t len = std::strlen(v);
    if (utf8.size() + len > max_bytes) len = max_bytes - utf8.size();
    utf8.append(v, len);
  }
  u16 text = FromUtf8(utf8);
  if (text.size() > kMaxFieldChars) text.resize(kMaxFieldChars);
  return text;
}

pugi::xml_node FirstChildElement(const pugi::xml_node& parent, const char* name) {
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
    if (IsElement(c) && std::strcmp(c.name(), name) == 0) return c;
  return pugi::xml_node();
}

std::unique_ptr<CMediaItem> ReadRecord(const pugi::xml_node& media) {
  auto item = std::make_unique<CMediaItem>();
  pugi::xml_attribute first = media.first_attribute();
  if (first && !first.next_attribute()) {
    const char* value = first.value();
    if (std::strcmp(value, "Playlist") == 0) item->SetType(kMediaPlaylist);
    else if (std::strcmp(value, "Video") == 0) item->SetType(kMediaVideo);
    else if (std::strcmp(value, "Music") == 0) item->SetType(kMediaMusic);
  }
  for (const TextField& field : kTextFields) {
    pugi::xml_node e = FirstChildElement(media, field.name);
    if (!e) continue;
    u16 text = TextOf(e);
    if (!text.empty()) (item.get()->*field.set)(text);
  }
  pugi::xml_node contrast = FirstChildElement(media, "contrast");
  if (contrast) item->SetContrast(ParseDecimal(TextOf(contrast)));
  pugi::xml_node brightness = FirstChildElement(media, "brightness");
  if (brightness) item->SetBrightness(ParseDecimal(TextOf(brightness)));
  return item;
}

struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
};

void AppendField(pugi::xml_node& media, const char* name, const u16& value) {
  pugi::xml_node e = media.append_child(name);
  if (!value.empty()) e.append_child(pugi::node_pcdata).set_value(ToUtf8(value).c_str());
}

}  // namespace

int32_t ParseDecimal(const u16& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  long long value = 0;
  const long long limit = negative ? 2147483648LL : 2147483647LL;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > limit) value = limit;
  }
  return static_cast<int32_t>(negative ? -value : value);
}

const char* TypeName(int32_t type) {
  if (type == kMediaMusic) return "Music";
  if (type == kMediaVideo) return "Video";
  return "Playlist";
}

ReadStatus ReadEntries(const char* data, size_t size,
                       const std::function<void(std::unique_ptr<CMediaItem>)>& take) {
  if (!data || size == 0 || size > kMaxFileBytes) return ReadStatus::kMalformed;
  pugi::xml_document doc;
  // Fragment mode keeps text outside the root, so that it can be refused below; a lone
  // blank text is kept so that a field of blanks reads back as written.
  const unsigned options =
      pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_fragment;
  pugi::xml_parse_result parsed = doc.load_buffer(data, size, options, pugi::encoding_auto);
  if (!parsed) return ReadStatus::kMalformed;
  pugi::xml_node root;
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata)
      return ReadStatus::kMalformed;  // text outside the root element
    if (!IsElement(n)) continue;
    if (root) return ReadStatus::kMalformed;  // a second root element
    root = n;
  }
  if (!root) return ReadStatus::kMalformed;
  if (!root.first_child()) return ReadStatus::kEmptyRoot;

  // Every descendant "media" element in document order, without recursion.
  size_t seen = 0;
  pugi::xml_node n = root.first_child();
  while (n && n != root) {
    if (IsElement(n) && std::strcmp(n.name(), "media") == 0) {
      if (++seen > kMaxEntries) break;
      if (n.first_child()) take(ReadRecord(n));
    }
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n && n != root && !n.next_sibling()) n = n.parent();
    if (n && n != root) n = n.next_sibling();
  }
  return ReadStatus::kListed;
}

std::string WriteEntries(const char* root_name, const MediaItemList& items) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child(root_name);
  for (const auto& item : items) {
    if (!item) continue;
    pugi::xml_node media = root.append_child("media");
    media.append_attribute("type").set_value(TypeName(item->GetType()));
    AppendField(media, "location", item->GetLocation());
    AppendField(media, "title", item->DisplayTitle());
    AppendField(media, "artist", item->GetArtist());
    AppendField(media, "album", item->GetAlbum());
    AppendField(media, "genre", item->GetGenre());
    AppendField(media, "contrast", Decimal(item->GetContrast()));
    AppendField(media, "brightness", Decimal(item->GetBrightness()));
  }
  StringWriter writer;
  doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  // The serializer leaves a carriage return in a text as it is, and a reader turns it into a
  // line feed; as a character reference it reads back as written. Without indentation the
  // output has no line ends of its own, so every one of them comes from a field.
  std::string out;
  out.reserve(writer.out.size());
  for (char c : writer.out) {
    if (c == '\r') out += "&#13;";
    else out += c;
  }
  return out;
}

}  // namespace media_xml
}  // namespace crv
