#include "tools/crvdecode/picture_command.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "player/base/text16.h"
#include "player/media/frame_record.h"
#include "player/pictures/formats/picture_sources.h"
#include "player/pictures/image_holder.h"
#include "player/pictures/reader_registry.h"

namespace {

int PictureUsage() {
  std::fprintf(stderr, "usage: crvdecode picture FILE [--flags N] [--page P] --bgr OUT\n");
  return 2;
}

// A whole decimal (or 0x hexadecimal) number, or false.
bool Number(const char* text, long long* value) {
  if (!text || !*text) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 0);
  if (errno != 0 || *end != 0) return false;
  *value = v;
  return true;
}

bool WriteBgr(const char* name, const crv::tagRDIBIMG& record) {
  const crv::RBitmapInfoHeader& info = *record.info;
  if (info.width < 1 || info.height < 1 || !crv::KnownDibDepth(info.bitCount)) return false;
  std::FILE* out = std::fopen(name, "wb");
  if (!out) {
    std::fprintf(stderr, "crvdecode: cannot write %s\n", name);
    return false;
  }
  const uint64_t stride = crv::DibRowBytes(info.bitCount, static_cast<uint64_t>(info.width));
  std::vector<uint8_t> line(static_cast<size_t>(info.width) * 3);
  bool ok = true;
  for (int32_t y = info.height - 1; y >= 0 && ok; --y) {
    const uint8_t* row = record.pixels + stride * static_cast<uint64_t>(y);
    for (int32_t x = 0; x < info.width; ++x) crv::DibPixelBgr(info, row, x, &line[static_cast<size_t>(x) * 3]);
    ok = std::fwrite(line.data(), 1, line.size(), out) == line.size();
  }
  return std::fclose(out) == 0 && ok;
}

void PrintPicture(int32_t result, const crv::ImageHolder& holder) {
  const crv::tagRDIBIMG& record = holder.Record();
  const bool loaded = result == crv::kResultOk && record.info;
  std::printf("result: %d\n", result);
  std::printf("width: %d\n", loaded ? record.info->width : 0);
  std::printf("height: %d\n", loaded ? record.info->height : 0);
  std::printf("bpp: %d\n", loaded ? record.info->bitCount : 0);
  std::printf("frames: %d\n", loaded ? record.frameCount : 0);
  std::printf("info: %s\n", loaded ? crv::ToUtf8(record.infoText).c_str() : "");
  const char16_t* text = crv::ResultText(result);
  std::printf("text: %s\n", text ? crv::ToUtf8(text).c_str() : "");
}

}  // namespace

int RunPictureCommand(int argc, char** argv) {
  const char* file = nullptr;
  const char* out = nullptr;
  long long flags = 0, page = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--bgr") == 0 || std::strcmp(arg, "--flags") == 0 || std::strcmp(arg, "--page") == 0) {
      if (i + 1 >= argc) return PictureUsage();
      const char* value = argv[++i];
      if (std::strcmp(arg, "--bgr") == 0)
        out = value;
      else if (!Number(value, std::strcmp(arg, "--flags") == 0 ? &flags : &page))
        return PictureUsage();
    } else if (arg[0] == '-' && arg[1] == '-') {
      return PictureUsage();
    } else if (!file) {
      file = arg;
    } else {
      return PictureUsage();
    }
  }
  if (!file || !out || flags < 0 || flags > 0xFFFFFFFFLL || page < INT32_MIN || page > INT32_MAX) return PictureUsage();

  // Picture mode, as the picture view has it: the built-in entry with the image table first,
  // then whatever plug-ins lie beside the program.
  crv::RegisterPictureSources();
  crv::ChangeMediaMode(false);
  int32_t result;
  {
    crv::ImageHolder holder;
    holder.Load(crv::FromUtf8(file).c_str(), static_cast<uint32_t>(flags));
    result = holder.Result();
    if (result == crv::kResultOk && page != 0) result = holder.LoadPage(static_cast<int32_t>(page));
    if (result == crv::kResultOk && !holder.HasPicture()) result = crv::kResultBadData;
    if (result == crv::kResultOk && !WriteBgr(out, holder.Record())) {
      PrintPicture(result, holder);
      std::fprintf(stderr, "crvdecode: the picture could not be written to %s\n", out);
      return 1;
    }
    PrintPicture(result, holder);
  }
  crv::ProcessReaderRegistry().Clear();
  return result == crv::kResultOk ? 0 : 1;
}
