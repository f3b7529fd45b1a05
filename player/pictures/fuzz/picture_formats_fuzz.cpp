// libFuzzer target over the still-picture sources (seven of them): the first byte picks the
// source, the second the load flags, the rest is the file; a multi-page TIFF also turns
// pages. Allocations go through hooks that refuse more than a budget, so that huge sides are
// answered by the sources' own checks rather than by the machine.
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstddef>
#include <initializer_list>
#include "player/media/alloc_hooks.h"
#include "player/media/source_state.h"
#include "player/pictures/formats/bmp_source.h"
#include "player/pictures/formats/gif_source.h"
#include "player/pictures/formats/jpeg_source.h"
#include "player/pictures/formats/pcx_source.h"
#include "player/pictures/formats/photocd_source.h"
#include "player/pictures/formats/pnm_source.h"
#include "player/pictures/formats/tiff_source.h"

namespace {

constexpr size_t kBudget = 64u << 20;

void* Alloc(size_t bytes) { return bytes > kBudget ? nullptr : std::malloc(bytes); }
void Free(void* block) { std::free(block); }
void* CreateDib(void*, const void* info, uint32_t, void** bits, void*, uint32_t) {
  const uint64_t bytes = crv::DibImageBytes(*static_cast<const crv::RBitmapInfoHeader*>(info));
  if (bytes == 0 || bytes > kBudget) return nullptr;
  *bits = std::calloc(1, bytes);
  return *bits;
}
int32_t DeleteObject(void* object) {
  std::free(object);
  return 1;
}

crv::ImgFmtBase* Make(uint8_t which) {
  switch (which % 7) {
    case 0: return new crv::ImgFmtBMP;
    case 1: return new crv::ImgFmtPCX;
    case 2: return new crv::ImgFmtGIF;
    case 3: return new crv::ImgFmtPCD;
    case 5: return new crv::ImgFmtJPG;
    case 6: return new crv::ImgFmtTIFF;
    default: return new crv::ImgFmtPNM;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  crv::AllocHooks hooks;
  hooks.alloc = Alloc;
  hooks.free = Free;
  hooks.createDib = CreateDib;
  hooks.deleteObject = DeleteObject;
  crv::InstallAllocHooks(hooks);
  FILE* file = fmemopen(const_cast<uint8_t*>(data + 2), size - 2, "rb");
  if (!file) return 0;
  // The second byte picks the load flags: none, reduce large, fit to screen, never reduce.
  static const uint32_t kFlags[] = {0, crv::kLoadReduceLarge, crv::kLoadFitScreen, crv::kLoadNeverReduce};
  const uint32_t flags = kFlags[data[1] & 3];
  crv::SetCurrentLoadFlags(flags);
  crv::ClearAbort();
  crv::ImgFmtBase* source = Make(data[0]);
  const int32_t result = source->Load(file, flags);
  // A multi-page TIFF: turn to the last page and back to the second through the page loader.
  crv::tagRDIBIMG& record = source->Record();
  if (result == crv::kResultOk && record.pageLoader) {
    for (int32_t page : {record.frameCount - 1, 1}) {
      std::fseek(file, 0, SEEK_SET);
      record.pageLoader(file, &record, page);
    }
  }
  delete source;
  std::fclose(file);
  return 0;
}
