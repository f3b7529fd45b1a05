// The readers' native parts: there are no image plug-ins (the registry holds the built-in
// entry only), and a picture file is opened as the stream opens any file.
#include "player/media/stream_file.h"
#include "player/pictures/image_holder.h"
#include "player/pictures/reader_registry.h"

namespace crv {
namespace {

class NoReaderPlugins : public ReaderPluginLoader {
 public:
  std::vector<std::u16string> Candidates() override { return {}; }
  void* Load(const std::u16string&) override { return nullptr; }
  void* Find(void*, const char*) override { return nullptr; }
  void Release(void*) override {}
};

}  // namespace

ReaderPluginLoader& SystemReaderPluginLoader() {
  static NoReaderPlugins loader;
  return loader;
}

ReaderPluginLoader* NewFolderReaderPluginLoader(const std::u16string&) { return new NoReaderPlugins; }

RFileHandle OpenPictureFile(const std::u16string& path) { return StreamFileOpen(path); }

}  // namespace crv
