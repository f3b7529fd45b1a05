#include "player/library/media_tags.h"

#include <cstring>

#include "player/base/device_fs.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace crv {

namespace {

constexpr int kBufferBytes = 32 * 1024;
constexpr int64_t kProbeBytes = 1 << 20;  // how far libavformat may look for the format

// libavformat reads through the ByteSource, so device paths and the byte stream work alike.
struct Reader {
  ByteSource* source;
  uint64_t position = 0;
};

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  auto* r = static_cast<Reader*>(opaque);
  if (size <= 0) return AVERROR(EINVAL);
  const size_t got = r->source->ReadAt(r->position, buffer, static_cast<size_t>(size));
  if (got == 0) return AVERROR_EOF;
  r->position += got;
  return static_cast<int>(got);
}

int64_t Seek(void* opaque, int64_t offset, int whence) {
  auto* r = static_cast<Reader*>(opaque);
  const int64_t size = static_cast<int64_t>(r->source->Size());
  int64_t to = 0;
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return size;
    case SEEK_SET: to = offset; break;
    case SEEK_CUR: to = static_cast<int64_t>(r->position) + offset; break;
    case SEEK_END: to = size + offset; break;
    default: return AVERROR(EINVAL);
  }
  if (to < 0) return AVERROR(EINVAL);
  r->position = static_cast<uint64_t>(to);
  return to;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// What a tag may bring into the library file: no control characters, no unpaired halves of
// surrogate pairs, no blanks around it, at most kMaxTagLength characters.
u16 Clean(const char* utf8) {
  u16 text = FromUtf8(utf8 ? std::string(utf8) : std::string());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t& c = text[i];
    if (c < 0x20 || c == 0x7F) c = u' ';
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      ++i;
      continue;
    }
    if (IsHighSurrogate(c) || IsLowSurrogate(c)) c = u'\xFFFD';
  }
  const size_t first = text.find_first_not_of(u' ');
  if (first == u16::npos) return u16();
  text = text.substr(first, text.find_last_not_of(u' ') - first + 1);
  if (text.size() > kMaxTagLength) {
    text.resize(kMaxTagLength);
    // Do not leave half of a surrogate pair at the cut.
    if (IsHighSurrogate(text.back())) text.pop_back();
  }
  return text;
}

// The container's value, else the first stream's (some formats keep their tags there).
u16 Tag(const AVFormatContext& format, const char* key) {
  const AVDictionaryEntry* e = av_dict_get(format.metadata, key, nullptr, 0);
  if (!e && format.nb_streams > 0) e = av_dict_get(format.streams[0]->metadata, key, nullptr, 0);
  return e ? Clean(e->value) : u16();
}

}  // namespace

bool ReadMediaTags(ByteSource& source, const u16& file_name, MediaTags* tags) {
  *tags = MediaTags{};
  if (av_log_get_level() > AV_LOG_QUIET) av_log_set_level(AV_LOG_QUIET);
  Reader reader{&source};
  auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferBytes));
  if (!buffer) return false;
  AVIOContext* io = avio_alloc_context(buffer, kBufferBytes, 0, &reader, ReadPacket, nullptr, Seek);
  if (!io) {
    av_free(buffer);
    return false;
  }
  AVFormatContext* format = avformat_alloc_context();
  bool ok = false;
  if (format) {
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->probesize = kProbeBytes;
    format->format_probesize = static_cast<int>(kProbeBytes);
    // On failure libavformat frees the context it was given.
    if (avformat_open_input(&format, ToUtf8(file_name).c_str(), nullptr, nullptr) == 0) {
      tags->title = Tag(*format, "title");
      tags->artist = Tag(*format, "artist");
      if (tags->artist.empty()) tags->artist = Tag(*format, "album_artist");
      tags->album = Tag(*format, "album");
      tags->genre = Tag(*format, "genre");
      avformat_close_input(&format);
      ok = true;
    }
  }
  av_freep(&io->buffer);
  avio_context_free(&io);
  return ok;
}

void ReadTagsInto(CMediaItem& item) {
  std::unique_ptr<ByteSource> file = device_fs::OpenForReading(item.GetLocation());
  if (!file) return;
  MediaTags tags;
  if (!ReadMediaTags(*file, item.GetLocation(), &tags)) return;
  if (!tags.title.empty()) item.SetTitle(tags.title);
  if (!tags.artist.empty()) item.SetArtist(tags.artist);
  if (!tags.album.empty()) item.SetAlbum(tags.album);
  if (!tags.genre.empty()) item.SetGenre(tags.genre);
}

}  // namespace crv
