// The built-in reader entry: the player's own sources behind the same calling shapes that
// the image plug-ins export, so the reader registry treats it as its first entry. In media
// mode (SetMediaMode, the settings' LoadMedia) it presents the video table and loads videos,
// otherwise the image table and still pictures.
#pragma once
#include <atomic>
#include <cstdint>
#include "player/media/alloc_hooks.h"
#include "player/media/format_tables.h"
#include "player/media/frame_record.h"

namespace crv {

// The entry's function shapes (also those of a plug-in's exports).
using RLoadImageFn = int32_t (*)(RFileHandle file, tagRDIBIMG* record, uint32_t callerKey, uint32_t loadFlags);
using RLoadFrameFn = int32_t (*)(RFileHandle file, tagRDIBIMG* record, int32_t frame, void* cache, uint32_t budget);
using RDeleteImageFn = void (*)(tagRDIBIMG* record, void* entry);
using RAbortLoadingFn = void* (*)();
using RRegAllocFuncFn = void (*)(RAllocFn alloc, void* reserved, RFreeFn free, RCreateDibFn createDib,
                                 RDeleteObjectFn deleteObject);
using RGetSupportedFormatsFn = const RFormatEntry* (*)();

// Loads the file the record's path names through the source its extension picks in the
// current mode. The record is expected empty (released); its owner cookie and path are
// kept. On success in media mode the record holds heap copies of the frame table (2 slots,
// no cached frames), the bitmap info block and the pixels, and no DIB section; in picture
// mode it receives the source's record whole. On failure it is reset, cookie and path kept.
// The caller key is ignored.
int32_t RLoadImage(RFileHandle file, tagRDIBIMG* record, uint32_t callerKey, uint32_t loadFlags);

// Decodes one frame of a record with a frame table into its pixels: from the slot's cached
// buffer, or through the table's GetFrame into a temporary buffer of the slot's size
// (frame numbers below 0 use slot 0, and GetFrame gets the frame number itself). 0 with
// nothing done for a record without a table, GetFrame or 2 slots, and for a frame number
// not below the slot count; GetFrame's own result when it fails. The cache buffer and
// budget are not used by the built-in entry.
int32_t RLoadFrame(RFileHandle file, tagRDIBIMG* record, int32_t frame, void* cache, uint32_t budget);

// Releases the record (the entry argument is the registry's, unused here).
void RDeleteImage(tagRDIBIMG* record, void* entry);

// Raises the abort flag; returns it (a std::atomic<int32_t>).
void* RAbortLoading();

// Installs the allocation hooks; each null one falls back to the platform.
void RRegAllocFunc(RAllocFn alloc, void* reserved, RFreeFn free, RCreateDibFn createDib, RDeleteObjectFn deleteObject);

// The current mode's format table.
const RFormatEntry* RGetSupportedFormats();

}  // namespace crv
