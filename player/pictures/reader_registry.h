// The reader registry: the ordered list of reader entries through which every picture is
// loaded. The built-in entry (player/media/builtin_entry.h) is always first; the image
// plug-in libraries "RImg*.dll" found beside the program follow it. The built-in entry's
// format table depends on the media mode, so the registry is built again whenever the mode
// changes (ChangeMediaMode).
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "player/media/builtin_entry.h"
#include "player/media/format_tables.h"

namespace crv {

// The version a plug-in's RGetVersion must answer.
constexpr uint32_t kReaderPluginVersion = 101;

using RGetVersionFn = uint32_t (*)();

// One loaded reader. The built-in entry has no library.
struct ReaderEntry {
  void* library = nullptr;
  const RFormatEntry* formats = nullptr;
  RLoadImageFn loadImage = nullptr;        // required
  RLoadFrameFn loadFrame = nullptr;        // may be null
  RDeleteImageFn deleteImage = nullptr;    // required
  RAbortLoadingFn abortLoading = nullptr;  // may be null
  RRegAllocFuncFn regAllocFunc = nullptr;  // may be null
};

// Where plug-ins come from: a seam, so that the registry stays platform-free. On Windows the
// libraries are found with FindFirstFile, loaded with LoadLibrary and their exports looked
// up with GetProcAddress; natively there are no plug-ins (tests give their own loader).
class ReaderPluginLoader {
 public:
  virtual ~ReaderPluginLoader() = default;
  // The full paths of the files matching "RImg*.dll" in the plug-in folder, in the order the
  // file system returns them, without directories and names beginning with ".".
  virtual std::vector<std::u16string> Candidates() = 0;
  // The loaded library, or null.
  virtual void* Load(const std::u16string& path) = 0;
  // An export by name, or null.
  virtual void* Find(void* library, const char* name) = 0;
  virtual void Release(void* library) = 0;
};

// The platform's loader over the running program's own folder.
ReaderPluginLoader& SystemReaderPluginLoader();
// The platform's loader over another folder (for tests); natively it finds nothing.
ReaderPluginLoader* NewFolderReaderPluginLoader(const std::u16string& folder);

class ReaderRegistry {
 public:
  explicit ReaderRegistry(ReaderPluginLoader* loader = &SystemReaderPluginLoader()) : loader_(loader) {}
  ~ReaderRegistry() { Clear(); }
  ReaderRegistry(const ReaderRegistry&) = delete;
  ReaderRegistry& operator=(const ReaderRegistry&) = delete;

  // The built-in entry with the current mode's table, then every usable plug-in. A library
  // that cannot be loaded, answers another version or lacks a required export is skipped
  // without a word. Always succeeds; an earlier build is cleared first.
  void Build();
  // Frees every plug-in library and deletes every entry.
  void Clear();

  // The entry (and with `row` the index of the table row) whose table lists the extension
  // of `path`, compared without regard to case: entries in order, rows in order, extensions
  // in order; the first match wins, so a plug-in never takes over a built-in extension.
  // Null when the file name has no "." or nothing matches.
  const ReaderEntry* FindByExtension(const char16_t* path, int* row = nullptr) const;
  // Every extension of every row of every entry, in order, each ended by a zero, the list
  // ended by an empty string. False when the registry is empty.
  bool AllExtensions(std::u16string& list) const;

  // Raises the abort flag of every entry that has one (the built-in one is process-wide).
  void AbortLoading() const;

  size_t Size() const { return entries_.size(); }
  const ReaderEntry* Entry(size_t index) const { return index < entries_.size() ? entries_[index] : nullptr; }

 private:
  ReaderEntry* LoadPlugin(const std::u16string& path);

  ReaderPluginLoader* loader_;
  std::vector<ReaderEntry*> entries_;
};

// The process's registry (the system loader).
ReaderRegistry& ProcessReaderRegistry();
// Switches the media mode (player/media/source_state.h) and builds the process's registry
// again for it. Holders must have released their pictures first: their entries go.
void ChangeMediaMode(bool mediaMode);

}  // namespace crv
