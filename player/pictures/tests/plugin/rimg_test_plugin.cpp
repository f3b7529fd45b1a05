// An image plug-in library for the tests. It reads a small format of its own, ".tpic":
// the four bytes "TPIC", a width byte, a height byte, then width x height RGB triples from
// the top row down; its table also claims "bmp", which it must never be handed because the
// built-in entry comes first. It counts its loads so that a test can ask.
//
// Built twice: with CRV_TEST_PLUGIN_GOOD as "RImgTestGood.dll" (version 101), with
// CRV_TEST_PLUGIN_OLD as "RImgTestOld.dll" (version 100, which the registry must ignore).
// RLoadFrame, RAbortLoading and RRegAllocFunc are left out on purpose: they are optional.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include "player/media/frame_record.h"

#define CRV_EXPORT extern "C" __declspec(dllexport)

using crv::tagRDIBIMG;

// A row of the format table, as the registry reads it.
struct FormatRow {
  const char16_t* description;
  const char16_t* defaultExtension;
  const char16_t* extensions;
  uintptr_t reserved;
};

namespace {

const FormatRow kRows[] = {
    {u"Test Picture", u"tpic", u"tpic\0bmp\0", 0},
    {nullptr, nullptr, nullptr, 0},
};

int32_t g_loads = 0;
int32_t g_bmpLoads = 0;

bool EndsWithBmp(const char16_t* path) {
  size_t n = 0;
  while (n < crv::kRecordPathChars && path[n]) ++n;
  if (n < 4) return false;
  const char16_t* e = path + n - 4;
  return e[0] == u'.' && (e[1] | 0x20) == u'b' && (e[2] | 0x20) == u'm' && (e[3] | 0x20) == u'p';
}

bool ReadAll(HANDLE file, void* to, DWORD bytes) {
  DWORD got = 0;
  return ReadFile(file, to, bytes, &got, nullptr) && got == bytes;
}

}  // namespace

CRV_EXPORT uint32_t RGetVersion() {
#ifdef CRV_TEST_PLUGIN_OLD
  return 100;
#else
  return 101;
#endif
}

CRV_EXPORT const FormatRow* RGetSupportedFormats() { return kRows; }

CRV_EXPORT int32_t RLoadImage(void* file, tagRDIBIMG* record, uint32_t, uint32_t) {
  ++g_loads;
  if (EndsWithBmp(record->path)) ++g_bmpLoads;
  uint8_t head[6];
  if (!ReadAll(file, head, sizeof head) || std::memcmp(head, "TPIC", 4) != 0) return crv::kResultBadData;
  const int32_t width = head[4], height = head[5];
  if (width < 1 || height < 1) return crv::kResultBadData;

  auto* info = static_cast<BITMAPINFO*>(std::calloc(1, sizeof(BITMAPINFOHEADER) + 4));
  if (!info) return crv::kResultNoMemory;
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = width;
  info->bmiHeader.biHeight = height;
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = 24;
  const uint32_t rowBytes = (uint32_t(width) * 3 + 3) & ~3u;
  info->bmiHeader.biSizeImage = rowBytes * uint32_t(height);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) {
    std::free(info);
    return crv::kResultNoMemory;
  }
  auto* pixels = static_cast<uint8_t*>(bits);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = pixels + uint32_t(height - 1 - y) * rowBytes;
    for (int32_t x = 0; x < width; ++x) {
      uint8_t rgb[3] = {};
      ReadAll(file, rgb, 3);  // a short file leaves the rest black
      row[x * 3] = rgb[2], row[x * 3 + 1] = rgb[1], row[x * 3 + 2] = rgb[0];
    }
  }
  record->info = reinterpret_cast<crv::RBitmapInfoHeader*>(info);
  record->bitmap = bitmap;
  record->pixels = pixels;
  record->frameCount = 1;
  const char16_t text[] = u"Test plug-in";
  std::memcpy(record->infoText, text, sizeof text);
  // The record's last character, where this library's layout puts it: the player checks
  // that it lands at the end of its own 680 bytes.
  record->infoText[crv::kRecordInfoChars - 1] = u'#';
  return crv::kResultOk;
}

CRV_EXPORT void RDeleteImage(tagRDIBIMG* record, void*) {
  if (!record) return;
  if (record->bitmap) DeleteObject(static_cast<HBITMAP>(record->bitmap));
  std::free(record->info);
  record->bitmap = nullptr;
  record->info = nullptr;
  record->pixels = nullptr;
}

// For the tests only: how many loads, and how many of them for a ".bmp" path.
CRV_EXPORT int32_t RTestLoadCount() { return g_loads; }
CRV_EXPORT int32_t RTestBmpLoadCount() { return g_bmpLoads; }
// The layout this library was built with: record bytes, info text offset, pointer bytes.
CRV_EXPORT void RTestRecordLayout(uint32_t* recordBytes, uint32_t* infoTextOffset, uint32_t* pointerBytes) {
  *recordBytes = sizeof(tagRDIBIMG);
  *infoTextOffset = offsetof(tagRDIBIMG, infoText);
  *pointerBytes = sizeof(void*);
}
