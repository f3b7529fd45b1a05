// crvdecode: opens a movie or a picture exactly as the player does (the built-in reader entry,
// the video table in media mode) and reports what the player would show.
//
//   crvdecode info FILE
//   crvdecode frames FILE [--first N] [--count K] --bgr OUT
//   crvdecode picture FILE [--flags N] [--page P] --bgr OUT
//   crvdecode album FILE
//   crvdecode library FILE --root DIR
//   crvdecode playlist FILE --root DIR
//
// Output: `key: value` lines (result, kind, width, height, bpp, frames, codec, audio, info).
// `frames` writes each decoded frame as top-down BGR24 rows, frame after frame. Exit status
// 0 when the file loaded, 1 when it did not, 2 for a usage error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "player/base/text16.h"
#include "player/media/builtin_entry.h"
#include "player/media/format_tables.h"
#include "player/media/frame_record.h"
#include "player/media/source_state.h"
#include "player/media/stream_file.h"
#include "player/media/video_facts.h"
#include "tools/crvdecode/album_command.h"
#include "tools/crvdecode/library_command.h"
#include "tools/crvdecode/picture_command.h"
#include "tools/crvdecode/sources.h"

namespace {

using crv::u16;

int Usage() {
  std::fprintf(stderr,
               "usage: crvdecode info FILE\n"
               "       crvdecode frames FILE [--first N] [--count K] --bgr OUT\n"
               "       crvdecode picture FILE [--flags N] [--page P] --bgr OUT\n"
               "       crvdecode album FILE\n"
               "       crvdecode library FILE --root DIR\n"
               "       crvdecode playlist FILE --root DIR\n");
  return 2;
}

// The video table row of a path, or -1 when the path is not a playable video.
int VideoRow(const u16& path) {
  const crv::RFormatEntry* rows = crv::FormatRows(crv::FormatTable::Video);
  int row = crv::FindFormatIndex(path.c_str(), rows);
  return row >= 0 && row < crv::kVideoPlaylist ? row : -1;
}

std::string FourCC(const char* code) {
  std::string text;
  for (int i = 0; i < 4 && code[i]; ++i) text += code[i];
  return text.empty() ? "none" : text;
}

void PrintFacts(int32_t result, bool video, const crv::tagRDIBIMG& record, int videoRow) {
  std::printf("result: %d\n", result);
  std::printf("kind: %s\n", video ? "video" : "picture");
  int32_t width = 0, height = 0, bpp = 0;
  if (result == crv::kResultOk && record.info) {
    width = record.info->width;
    height = record.info->height;
    bpp = record.info->bitCount;
  }
  std::printf("width: %d\nheight: %d\nbpp: %d\n", width, height, bpp);
  crv::VideoFacts facts;
  bool haveFacts = video && result == crv::kResultOk && crv::QueryVideoFacts(videoRow, &facts);
  std::printf("frames: %d\n", haveFacts ? facts.frames : (result == crv::kResultOk ? record.frameCount : 0));
  std::printf("codec: %s\n", haveFacts ? FourCC(facts.codec).c_str() : "none");
  if (haveFacts && facts.has_audio)
    std::printf("audio: %u %u %u %u\n", facts.audio_format_tag, facts.audio_channels, facts.audio_rate,
                facts.audio_bits);
  else
    std::printf("audio: none\n");
  std::printf("info: %s\n", crv::ToUtf8(record.infoText).c_str());
}

// The option's value after `name`, or `fallback`.
const char* Option(int argc, char** argv, const char* name, const char* fallback) {
  for (int i = 0; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
  return fallback;
}

// Top-down BGR24 rows of a bottom-up 24-bit DIB image (rows padded to 4 bytes).
bool WriteTopDown(std::FILE* out, const uint8_t* dib, int32_t width, int32_t height) {
  size_t packed = static_cast<size_t>(width) * 3;
  size_t stride = (packed + 3) & ~static_cast<size_t>(3);
  for (int32_t row = height - 1; row >= 0; --row)
    if (std::fwrite(dib + stride * static_cast<size_t>(row), 1, packed, out) != packed) return false;
  return true;
}

struct OpenedMedia {
  crv::RFileHandle file = nullptr;
  crv::tagRDIBIMG record{};
  int32_t result = crv::kResultCannotOpen;
  bool video = false;
  int videoRow = -1;

  ~OpenedMedia() {
    crv::ReleaseRecord(record);
    if (file) crv::StreamFileClose(file);
  }
};

void OpenMedia(const char* name, OpenedMedia* media) {
  u16 path = crv::FromUtf8(name);
  media->videoRow = VideoRow(path);
  media->video = media->videoRow >= 0;
  crv::ResetRecord(media->record);
  crv::CopyTo(media->record.path, crv::kRecordPathChars, path);
  media->file = crv::StreamFileOpen(path);
  if (!media->file) return;
  crv::SetMediaMode(media->video);
  media->result = crv::RLoadImage(media->file, &media->record, 0, 0);
}

int RunInfo(const char* name) {
  OpenedMedia media;
  OpenMedia(name, &media);
  PrintFacts(media.result, media.video, media.record, media.videoRow);
  return media.result == crv::kResultOk ? 0 : 1;
}

// Decodes frames through the table's GetFrame into slot 0, which gives the next frame each
// call (from the first after the load).
int RunFrames(int argc, char** argv) {
  const char* out_name = Option(argc, argv, "--bgr", nullptr);
  if (!out_name) return Usage();
  long first = std::strtol(Option(argc, argv, "--first", "0"), nullptr, 10);
  long count = std::strtol(Option(argc, argv, "--count", "-1"), nullptr, 10);
  if (first < 0) return Usage();

  OpenedMedia media;
  OpenMedia(argv[1], &media);
  crv::RFrameTable* table = media.record.frames;
  if (media.result != crv::kResultOk || !table || !table->GetFrame || table->slotCount < 1) {
    PrintFacts(media.result == crv::kResultOk ? crv::kResultBadData : media.result, media.video, media.record,
               media.videoRow);
    return 1;
  }
  crv::VideoFacts facts;
  long total = crv::QueryVideoFacts(media.videoRow, &facts) ? facts.frames : 1;
  if (count < 0 || first + count > total) count = total > first ? total - first : 0;

  std::FILE* out = std::fopen(out_name, "wb");
  if (!out) {
    std::fprintf(stderr, "crvdecode: cannot write %s\n", out_name);
    return 1;
  }
  std::vector<uint8_t> buffer(table->slots[0].bytes);
  table->slots[0].buffer = buffer.data();
  long decoded = 0;
  bool ok = true;
  for (long frame = 0; frame < first + count; ++frame) {
    if (table->GetFrame(media.file, table, media.record.ownerCookie, 0) != 0) {
      ok = false;
      break;
    }
    if (frame < first) continue;
    if (!WriteTopDown(out, buffer.data(), static_cast<int32_t>(table->width), static_cast<int32_t>(table->height))) {
      ok = false;
      break;
    }
    ++decoded;
  }
  table->slots[0].buffer = nullptr;
  if (table->Close) table->Close();
  ok = std::fclose(out) == 0 && ok;
  PrintFacts(media.result, media.video, media.record, media.videoRow);
  std::printf("decoded: %ld\n", decoded);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  crvdecode::RegisterAllSources();
  std::string command = argv[1];
  if (command == "info") return RunInfo(argv[2]);
  if (command == "frames") return RunFrames(argc - 1, argv + 1);
  if (command == "picture") return RunPictureCommand(argc - 1, argv + 1);
  if (command == "album") return RunAlbumCommand(argc - 1, argv + 1);
  if (command == "library" || command == "playlist") return RunListCommand(argc - 1, argv + 1);
  return Usage();
}
