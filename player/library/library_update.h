// The library update's work: drop the records whose files are gone, search the whole device
// for media files, add the new ones with what their own tags say. The update dialog runs it on
// its worker thread and shows what it reports; "Cancel" stops it between two files.
#pragma once
#include <atomic>
#include <functional>
#include <vector>
#include "player/base/text16.h"
#include "player/library/media_library.h"

namespace crv {

class LibraryUpdate {
 public:
  // What the work shows, forwarded by the dialog to its controls.
  class Progress {
   public:
    virtual ~Progress() = default;
    virtual void StartBar(int count) = 0;          // the bar shown, range 0..count, at 0
    virtual void StepBar() = 0;                    // one step on
    virtual void ShowCounter(const u16& text) = 0;  // the counter line ("Found 12 files")
    virtual void ShowPhase(const u16& text) = 0;    // the phase line ("Searching for files...")
  };
  // Fills a new record's artist, album, genre (and title, when the file has one) from the
  // file's own tags; nothing when it has none or cannot be read.
  using TagReader = std::function<void(CMediaItem&)>;

  // The texts shown, as the dialog shows them.
  static constexpr char16_t kChecking[] = u"Checking file";
  static constexpr char16_t kSearching[] = u"Searching for files...";
  static constexpr char16_t kAdding[] = u"Adding files...";
  static constexpr char16_t kUpdated[] = u"The library has been updated. To continue, click Done.";
  static u16 FoundText(int count);  // "Found %d files"
  static u16 AddedText(int index);  // "Added %d files"

  // `windows_folder`: the system's folder ("\Windows"), never searched.
  LibraryUpdate(CMediaLibrary& library, const u16& windows_folder, Progress& progress, TagReader tags = {});

  // The whole work: checking, searching from `root` ("\" on the device), adding. Returns true
  // when it ran to the end, false when it was cancelled.
  bool Run(const u16& root = u"\\");
  // Any thread: the work stops before its next file or folder.
  void Cancel() { state_.store(kCancelled); }
  bool Cancelled() const { return state_.load() != kWorking; }

  // The steps on their own.
  void CheckRecords();
  void Search(const u16& folder, const u16& pattern = u"*.*");
  void AddFound();
  const std::vector<u16>& Found() const { return found_; }

  // Whether `path` is a media file the update adds: the extension lists of the hosted player
  // and of the player's own engine (".hvpl" included).
  static bool IsMediaFile(const u16& path);

 private:
  static constexpr int kWorking = 2, kCancelled = 1;
  bool IsBelowWindowsFolder(const u16& folder) const;

  CMediaLibrary& library_;
  u16 windows_folder_lower_;
  Progress& progress_;
  TagReader tags_;
  std::atomic<int> state_{kWorking};
  std::vector<u16> found_;
};

}  // namespace crv
