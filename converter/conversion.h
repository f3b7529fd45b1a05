// The converter's work apart from its windows: starting the movie toolbox, preparing the
// exporter settings for a batch, converting one file, and the batch itself with its shared
// state byte, progress and pausing. The dialog supplies the lists, the progress bar and the
// message boxes through BatchHost; the batch runs on a worker thread of the dialog.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>

#include "converter/batch_plan.h"
#include "converter/conv_text.h"
#include "converter/movie_engine.h"
#include "converter/output_name.h"

namespace conv {

// ConvertState bits; the values used are 0, 1 (converting), 3 (paused) and 5 (cancel).
constexpr uint8_t kConverting = 1;
constexpr uint8_t kPaused = 2;
constexpr uint8_t kCancelRequested = 4;

constexpr int32_t kChoiceSorenson3 = 1;
constexpr int32_t kChoiceH263 = 2;
constexpr int32_t kChoiceCustom = 3;

// PrepareExport results.
constexpr int kPrepared = 0;
constexpr int kPrepareFailed = 1;
constexpr int kPrepareCancelled = 2;
constexpr int kNoExporter = 3;

// ConvertOneFile results.
constexpr int kConverted = 0;
constexpr int kConvertFailed = 1;
constexpr int kBadFileName = 2;
constexpr int kNoMovieInFile = 3;

constexpr int kPausePollMs = 300;

// What the batch needs from the dialog. Called on the worker thread.
class BatchHost {
 public:
  virtual ~BatchHost() = default;
  virtual size_t PathCount() = 0;  // the hidden list of full paths
  virtual size_t RowCount() = 0;   // the visible list
  virtual u16 FirstPath() = 0;
  virtual void RemoveFirstRow() = 0;  // from both lists
  virtual void SetProgressRange(int maximum) = 0;
  virtual void SetProgress(int position) = 0;
  virtual void SetStatus(const u16& text) = 0;
  virtual void ShowError(const char16_t* text) = 0;  // error icon, no caption
  virtual void BatchEnded() = 0;  // buttons enabled again, button 2 back to "E&xit"
};

class Converter {
 public:
  Converter(MovieEngine& engine, Bytes h263Preset, Bytes sorensonPreset);
  ~Converter();
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // The runtime, then the movie toolbox; each only once per run. False when either fails.
  bool StartEngine();
  int Level() const { return level_; }

  // 0 prepared, 1 failed, 2 the settings dialog was cancelled, 3 no exporter.
  int PrepareExport();
  // 0 written, 1 conversion error, 2 bad name or unreadable file, 3 no movie in the file.
  int ConvertOneFile(const u16& path, const std::function<bool(double)>* progress);
  // The whole batch; ends with the state back at 0.
  void RunBatch(BatchHost& host);
  // The dialog's progress function for the file being converted.
  bool Progress(double x, BatchHost& host);

  // Exit: the saved settings, the movie toolbox, the runtime, each as far as reached.
  void ShutDown();

  // Cancel question: pause (only a running batch), then resume or cancel. An answer that
  // comes after the batch ended leaves the state at 0.
  bool Pause();
  void Resume();
  void Cancel();
  bool Converting() const { return (state_.load() & kConverting) != 0; }
  uint8_t State() const { return state_.load(); }
  // Convert All step 7, before the worker starts.
  void MarkConverting() { state_.store(kConverting); }
  // When the worker could not be started after all.
  void MarkIdle() { state_.store(0); }

  const char16_t* ErrorText(int convertResult) const;

  int32_t codecChoice = kChoiceSorenson3;
  bool sameFolder = true;
  u16 outputFolder;
  ExistsFn exists;                      // whether a file exists (the file system unless replaced)
  std::function<void(int ms)> sleep;    // the pause loop's sleep

  bool HasSavedSettings() const { return saved_ != nullptr; }
  const Bytes* SavedSettings() const { return saved_; }
  const u16& OutputName() const { return outputName_; }
  const BatchPlan& Plan() const { return plan_; }

 private:
  void WaitWhilePaused();

  MovieEngine& engine_;
  Bytes h263Preset_, sorensonPreset_;
  int level_ = 0;
  QTAtomContainer saved_ = nullptr;
  int32_t savedChoice_ = 0;
  std::atomic<uint8_t> state_{0};
  BatchPlan plan_;
  int base_ = 0;
  u16 outputName_;
};

}  // namespace conv
