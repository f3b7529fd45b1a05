#include "converter/conversion.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "converter/messages.h"

namespace conv {
namespace {

bool FileExists(const u16& path) {
  std::error_code ec;
  bool found = std::filesystem::exists(std::filesystem::path(path), ec);
  return found || ec;  // a name that cannot be looked at counts as taken
}

OSErr ProgressProc(Movie, int16_t message, int16_t operation, Fixed percentDone, void* refcon) {
  ProgressCall call = MapProgressMessage(message, operation, percentDone);
  if (!call.call || !refcon) return 0;
  const auto& progress = *static_cast<const std::function<bool(double)>*>(refcon);
  return progress(call.x) ? 0 : 1;
}

}  // namespace

Converter::Converter(MovieEngine& engine, Bytes h263Preset, Bytes sorensonPreset)
    : exists(FileExists),
      sleep([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }),
      engine_(engine),
      h263Preset_(std::move(h263Preset)),
      sorensonPreset_(std::move(sorensonPreset)) {}

Converter::~Converter() { ShutDown(); }

bool Converter::StartEngine() {
  if (level_ == 0) {
    if (engine_.InitializeQTML(0) != kNoErr) return false;
    level_ = 1;
  }
  if (level_ == 1) {
    if (engine_.EnterMovies() != kNoErr) return false;
    level_ = 2;
  }
  return true;
}

void Converter::ShutDown() {
  if (saved_) {
    engine_.QTDisposeAtomContainer(saved_);
    saved_ = nullptr;
  }
  if (level_ >= 2) engine_.ExitMovies();
  if (level_ >= 1) engine_.TerminateQTML();
  level_ = 0;
}

int Converter::PrepareExport() {
  ComponentInstance exporter = engine_.OpenDefaultComponent(kMovieExportType, kMovieFileType);
  if (!exporter) return kNoExporter;
  bool custom = codecChoice == kChoiceCustom;
  const Bytes& preset = codecChoice == kChoiceSorenson3 ? sorensonPreset_ : h263Preset_;

  // The saved settings stand for the preset they came from; a different preset chosen in a
  // later batch is loaded afresh, and Custom starts from whatever was used last.
  OSErr applied;
  if (saved_ && (custom || codecChoice == savedChoice_)) {
    applied = engine_.MovieExportSetSettingsFromAtomContainer(exporter, saved_);
  } else {
    Handle handle = engine_.NewHandle(preset.size());
    if (!handle) {
      engine_.CloseComponent(exporter);
      return kPrepareFailed;
    }
    std::copy(preset.begin(), preset.end(), handle->begin());
    applied = engine_.MovieExportSetSettingsFromAtomContainer(exporter, handle);
    engine_.DisposeHandle(handle);
  }
  if (applied != kNoErr) {
    engine_.CloseComponent(exporter);
    return kPrepareFailed;
  }
  if (custom) {
    bool cancelled = false;
    OSErr shown = engine_.MovieExportDoUserDialog(exporter, nullptr, nullptr, 0, 0, &cancelled);
    if (shown == kUserCanceledErr || (shown == kNoErr && cancelled)) {
      engine_.CloseComponent(exporter);
      return kPrepareCancelled;
    }
    if (shown != kNoErr) {
      engine_.CloseComponent(exporter);
      return kPrepareFailed;
    }
  }
  QTAtomContainer fresh = nullptr;
  if (engine_.MovieExportGetSettingsAsAtomContainer(exporter, &fresh) != kNoErr || !fresh) {
    engine_.CloseComponent(exporter);
    return kPrepareFailed;
  }
  if (saved_) engine_.QTDisposeAtomContainer(saved_);
  saved_ = fresh;
  savedChoice_ = codecChoice;
  engine_.CloseComponent(exporter);
  return kPrepared;
}

int Converter::ConvertOneFile(const u16& path, const std::function<bool(double)>* progress) {
  FileSpec source;
  if (!MakeFileSpec(path, &source)) return kBadFileName;
  int16_t refNum = 0;
  if (engine_.OpenMovieFile(source, &refNum, kReadPermission) != kNoErr) return kBadFileName;
  Movie movie = nullptr;
  int16_t resId = 0;
  bool changed = false;
  OSErr made = engine_.NewMovieFromFile(&movie, refNum, &resId, nullptr, kNewMovieActive, &changed);
  engine_.CloseMovieFile(refNum);
  if (made != kNoErr || !movie) {
    if (movie) engine_.DisposeMovie(movie);
    return made == kNoMovieFound ? kNoMovieInFile : kConvertFailed;
  }

  u16 output;
  FileSpec destination;
  if (!saved_ || !ChooseOutputName(path, sameFolder, outputFolder, exists, &output) ||
      !MakeFileSpec(output, &destination)) {
    engine_.DisposeMovie(movie);
    return kConvertFailed;
  }
  outputName_ = output;

  OSErr written = kBadComponentInstance;
  ComponentInstance exporter = engine_.OpenDefaultComponent(kMovieExportType, kMovieFileType);
  if (exporter) {
    if (engine_.MovieExportSetSettingsFromAtomContainer(exporter, saved_) == kNoErr) {
      if (progress) engine_.SetMovieProgressProc(movie, ProgressProc, const_cast<std::function<bool(double)>*>(progress));
      written = engine_.ConvertMovieToFile(movie, nullptr, destination, kMovieFileType, kMoviePlayerCreator,
                                           kSystemScript, nullptr, kMovieToFileOnlyExport | kMovieFileSpecValid,
                                           exporter);
    }
    engine_.CloseComponent(exporter);
  }
  engine_.DisposeMovie(movie);
  return written == kNoErr ? kConverted : kConvertFailed;
}

void Converter::WaitWhilePaused() {
  while (state_.load() & kPaused) sleep(kPausePollMs);
}

bool Converter::Progress(double x, BatchHost& host) {
  if (x >= 0.0) host.SetProgress(ProgressPosition(base_, plan_.step, x));
  if (x == kProgressStarting) host.SetStatus(outputName_);
  WaitWhilePaused();
  return (state_.load() & kCancelRequested) == 0;
}

const char16_t* Converter::ErrorText(int result) const {
  switch (result) {
    case kBadFileName: return kTextWrongName;
    case kNoMovieInFile: return kTextOpenComponentsMissing;
    default: return kTextConvertError;
  }
}

void Converter::RunBatch(BatchHost& host) {
  plan_ = PlanBatch(host.PathCount(), host.RowCount());
  if (plan_.count > 0) {
    host.SetProgressRange(plan_.rangeMax);
    std::function<bool(double)> progress = [this, &host](double x) { return Progress(x, host); };
    for (int i = 0; i < plan_.count; ++i) {
      u16 path = host.FirstPath();
      if (path.empty() || path.size() > kMaxListedPath) {
        host.ShowError(kTextTooLong);
        break;
      }
      base_ = ProgressBase(plan_, i);
      host.SetProgress(base_);
      WaitWhilePaused();
      if (state_.load() & kCancelRequested) break;
      int result = ConvertOneFile(path, &progress);
      if (result != kConverted) {
        host.ShowError(ErrorText(result));
        break;
      }
      host.RemoveFirstRow();
      host.SetStatus(u"");
    }
  }
  host.SetStatus(u"");
  host.SetProgress(0);
  host.BatchEnded();
  state_.store(0);
}

bool Converter::Pause() {
  uint8_t now = state_.load();
  while (now & kConverting)
    if (state_.compare_exchange_weak(now, kConverting | kPaused)) return true;
  return false;
}

void Converter::Resume() {
  uint8_t paused = kConverting | kPaused;
  state_.compare_exchange_strong(paused, kConverting);
}

void Converter::Cancel() {
  uint8_t paused = kConverting | kPaused;
  state_.compare_exchange_strong(paused, kConverting | kCancelRequested);
}

}  // namespace conv
