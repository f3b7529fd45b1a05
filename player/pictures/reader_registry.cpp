#include "player/pictures/reader_registry.h"

#include "player/base/text16.h"
#include "player/media/source_state.h"

namespace crv {

namespace {

template <class Fn>
Fn Export(ReaderPluginLoader& loader, void* library, const char* name) {
  return reinterpret_cast<Fn>(loader.Find(library, name));
}

// The extension of the file name (after its last "."), or null without one.
const char16_t* ExtensionOf(const char16_t* path, size_t& length) {
  if (!path) return nullptr;
  const size_t total = Length16(path);
  for (size_t i = total; i-- > 0;) {
    if (path[i] == u'\\' || path[i] == u'/') return nullptr;
    if (path[i] == u'.') {
      length = total - i - 1;
      return path + i + 1;
    }
  }
  return nullptr;
}

bool SameExtension(const char16_t* ext, size_t length, const char16_t* listed) {
  for (size_t i = 0; i < length; ++i)
    if (!listed[i] || FoldCase(ext[i]) != FoldCase(listed[i])) return false;
  return listed[length] == 0;
}

}  // namespace

void ReaderRegistry::Build() {
  Clear();
  auto* builtin = new ReaderEntry;
  builtin->formats = RGetSupportedFormats();
  builtin->loadImage = &RLoadImage;
  builtin->loadFrame = &RLoadFrame;
  builtin->deleteImage = &RDeleteImage;
  builtin->abortLoading = &RAbortLoading;
  builtin->regAllocFunc = &RRegAllocFunc;
  entries_.push_back(builtin);
  if (!loader_) return;
  for (const std::u16string& path : loader_->Candidates())
    if (ReaderEntry* entry = LoadPlugin(path)) entries_.push_back(entry);
}

ReaderEntry* ReaderRegistry::LoadPlugin(const std::u16string& path) {
  void* library = loader_->Load(path);
  if (!library) return nullptr;
  const auto version = Export<RGetVersionFn>(*loader_, library, "RGetVersion");
  if (!version || version() != kReaderPluginVersion) {
    loader_->Release(library);
    return nullptr;
  }
  auto* entry = new ReaderEntry;
  entry->library = library;
  entry->loadImage = Export<RLoadImageFn>(*loader_, library, "RLoadImage");
  entry->loadFrame = Export<RLoadFrameFn>(*loader_, library, "RLoadFrame");
  entry->abortLoading = Export<RAbortLoadingFn>(*loader_, library, "RAbortLoading");
  entry->deleteImage = Export<RDeleteImageFn>(*loader_, library, "RDeleteImage");
  entry->regAllocFunc = Export<RRegAllocFuncFn>(*loader_, library, "RRegAllocFunc");
  const auto formats = Export<RGetSupportedFormatsFn>(*loader_, library, "RGetSupportedFormats");
  if (entry->loadImage && entry->deleteImage && formats) entry->formats = formats();
  // A table is needed too: a plug-in without one could never be chosen.
  if (!entry->formats) {
    loader_->Release(library);
    delete entry;
    return nullptr;
  }
  return entry;
}

void ReaderRegistry::Clear() {
  for (ReaderEntry* entry : entries_) {
    if (entry->library && loader_) loader_->Release(entry->library);
    delete entry;
  }
  entries_.clear();
}

const ReaderEntry* ReaderRegistry::FindByExtension(const char16_t* path, int* row) const {
  size_t length = 0;
  const char16_t* ext = ExtensionOf(path, length);
  if (!ext) return nullptr;
  for (const ReaderEntry* entry : entries_) {
    const RFormatEntry* rows = entry->formats;
    for (int r = 0; rows && rows[r].extensions; ++r)
      for (const char16_t* e = rows[r].extensions; *e; e += Length16(e) + 1)
        if (SameExtension(ext, length, e)) {
          if (row) *row = r;
          return entry;
        }
  }
  return nullptr;
}

bool ReaderRegistry::AllExtensions(std::u16string& list) const {
  list.clear();
  for (const ReaderEntry* entry : entries_) {
    const RFormatEntry* rows = entry->formats;
    for (int r = 0; rows && rows[r].extensions; ++r)
      for (const char16_t* e = rows[r].extensions; *e; e += Length16(e) + 1) {
        list.append(e);
        list.push_back(u'\0');
      }
  }
  list.push_back(u'\0');
  return !entries_.empty();
}

void ReaderRegistry::AbortLoading() const {
  for (const ReaderEntry* entry : entries_)
    if (entry->abortLoading) entry->abortLoading();
}

ReaderRegistry& ProcessReaderRegistry() {
  static ReaderRegistry registry;
  return registry;
}

void ChangeMediaMode(bool mediaMode) {
  ReaderRegistry& registry = ProcessReaderRegistry();
  registry.Clear();
  SetMediaMode(mediaMode);
  registry.Build();
}

}  // namespace crv
