#include "converter/ffmpeg_engine.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <filesystem>
#include <system_error>

#include "converter/movie_transcoder.h"

namespace conv {

struct ComponentRecord {
  ExportSettings settings;
  Atom container;  // the settings as last applied, with the atoms the exporter only keeps
};

struct MovieRecord {
  u16 path;
  AVFormatContext* input = nullptr;
  bool used = false;  // read once already: the next export opens the file again
  MovieProgressProc progress = nullptr;
  void* refcon = nullptr;
};

FfmpegMovieEngine::FfmpegMovieEngine() { av_log_set_level(AV_LOG_ERROR); }

FfmpegMovieEngine::~FfmpegMovieEngine() {
  for (ComponentInstance instance : components_) delete instance;
}

int FfmpegMovieEngine::InitCount() const {
  std::lock_guard<std::mutex> hold(lock_);
  return initCount_;
}

bool FfmpegMovieEngine::Ready() const {
  std::lock_guard<std::mutex> hold(lock_);
  return initCount_ > 0 && entered_;
}

bool FfmpegMovieEngine::Live(ComponentInstance instance) const {
  std::lock_guard<std::mutex> hold(lock_);
  return instance && components_.count(instance) > 0;
}

OSErr FfmpegMovieEngine::InitializeQTML(int32_t) {
  std::lock_guard<std::mutex> hold(lock_);
  ++initCount_;
  return kNoErr;
}

void FfmpegMovieEngine::TerminateQTML() {
  std::lock_guard<std::mutex> hold(lock_);
  if (initCount_ > 0) --initCount_;
  if (initCount_ == 0) entered_ = false;
}

OSErr FfmpegMovieEngine::EnterMovies() {
  std::lock_guard<std::mutex> hold(lock_);
  if (initCount_ == 0) return kNotInitialized;
  entered_ = true;
  return kNoErr;
}

void FfmpegMovieEngine::ExitMovies() {
  std::lock_guard<std::mutex> hold(lock_);
  entered_ = false;
}

ComponentInstance FfmpegMovieEngine::OpenDefaultComponent(OSType type, OSType subtype) {
  std::lock_guard<std::mutex> hold(lock_);
  if (initCount_ == 0 || type != kMovieExportType || subtype != kMovieFileType) return nullptr;
  auto* instance = new ComponentRecord;
  WriteExportSettings(instance->settings, &instance->container);
  components_.insert(instance);
  return instance;
}

OSErr FfmpegMovieEngine::CloseComponent(ComponentInstance instance) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!components_.erase(instance)) return kBadComponentInstance;
  delete instance;
  return kNoErr;
}

Handle FfmpegMovieEngine::NewHandle(size_t size) { return new Bytes(size); }

void FfmpegMovieEngine::DisposeHandle(Handle handle) { delete handle; }

void FfmpegMovieEngine::QTDisposeAtomContainer(QTAtomContainer container) { delete container; }

OSErr FfmpegMovieEngine::MovieExportSetSettingsFromAtomContainer(ComponentInstance instance,
                                                                 QTAtomContainer settings) {
  if (!Live(instance)) return kBadComponentInstance;
  if (!settings) return kParamErr;
  Atom container;
  ExportSettings values = instance->settings;
  if (!ParseAtomContainer(*settings, &container) || !ReadExportSettings(container, &values)) return kParamErr;
  if (!CanExport(values)) return kParamErr;
  instance->settings = values;
  instance->container = std::move(container);
  return kNoErr;
}

OSErr FfmpegMovieEngine::MovieExportGetSettingsAsAtomContainer(ComponentInstance instance,
                                                               QTAtomContainer* settings) {
  if (!settings) return kParamErr;
  *settings = nullptr;
  if (!Live(instance)) return kBadComponentInstance;
  WriteExportSettings(instance->settings, &instance->container);
  *settings = new Bytes(WriteAtomContainer(instance->container));
  return kNoErr;
}

OSErr FfmpegMovieEngine::MovieExportDoUserDialog(ComponentInstance instance, Movie, void*, int32_t, int32_t,
                                                 bool* cancelled) {
  if (!cancelled) return kParamErr;
  *cancelled = true;
  if (!Live(instance)) return kBadComponentInstance;
  if (!dialog_) return kNoErr;
  ExportSettings edited = instance->settings;
  if (!dialog_(edited)) return kNoErr;
  if (!CanExport(edited)) return kParamErr;
  instance->settings = edited;
  *cancelled = false;
  return kNoErr;
}

OSErr FfmpegMovieEngine::OpenMovieFile(const FileSpec& file, int16_t* refNum, int8_t permission) {
  *refNum = 0;
  if (!Ready()) return kNotInitialized;
  if (permission != kReadPermission || file.length == 0) return kParamErr;
  u16 path = file.Path();
  // Readable at all: libavformat opens it the same way the movie will.
  AVIOContext* probe = nullptr;
  int opened = avio_open(&probe, FileUrl(path).c_str(), AVIO_FLAG_READ);
  if (opened < 0) return opened == AVERROR(ENOENT) ? kFileNotFoundErr : kIoErr;
  avio_closep(&probe);
  std::lock_guard<std::mutex> hold(lock_);
  int16_t ref = nextRefNum_++;
  if (nextRefNum_ <= 0) nextRefNum_ = 1;
  files_[ref] = path;
  *refNum = ref;
  return kNoErr;
}

OSErr FfmpegMovieEngine::NewMovieFromFile(Movie* movie, int16_t refNum, int16_t* resId, u16* name, int16_t,
                                          bool* dataRefWasChanged) {
  *movie = nullptr;
  if (dataRefWasChanged) *dataRefWasChanged = false;
  if (resId) *resId = 1;
  if (name) name->clear();
  u16 path;
  {
    std::lock_guard<std::mutex> hold(lock_);
    auto file = files_.find(refNum);
    if (file == files_.end()) return kParamErr;
    path = file->second;
  }
  AVFormatContext* input = nullptr;
  OSErr err = OpenMovieInput(FileUrl(path), &input);
  if (err != kNoErr) return err;
  auto* record = new MovieRecord;
  record->path = path;
  record->input = input;
  *movie = record;
  return kNoErr;
}

OSErr FfmpegMovieEngine::CloseMovieFile(int16_t refNum) {
  std::lock_guard<std::mutex> hold(lock_);
  return files_.erase(refNum) ? kNoErr : kParamErr;
}

void FfmpegMovieEngine::SetMovieProgressProc(Movie movie, MovieProgressProc proc, void* refcon) {
  if (!movie) return;
  movie->progress = proc;
  movie->refcon = refcon;
}

OSErr FfmpegMovieEngine::ConvertMovieToFile(Movie movie, void* onlyTrack, const FileSpec& output, OSType fileType,
                                            OSType, int16_t, int16_t*, int32_t flags, ComponentInstance exporter) {
  if (!Ready()) return kNotInitialized;
  if (!movie || onlyTrack || fileType != kMovieFileType || output.length == 0) return kParamErr;
  if (!Live(exporter)) return kBadComponentInstance;
  u16 path = output.Path();
  std::error_code ec;
  bool taken = std::filesystem::exists(std::filesystem::path(path), ec) || ec;
  if (taken) {
    if (!(flags & kCreateMovieFileDeleteCurFile) || ec) return kDuplicateFileErr;
    if (!std::filesystem::remove(std::filesystem::path(path), ec)) return kIoErr;
  }
  if (movie->used) {
    CloseMovieInput(&movie->input);
    OSErr err = OpenMovieInput(FileUrl(movie->path), &movie->input);
    if (err != kNoErr) return err;
  }
  movie->used = true;
  ExportProgress progress;
  if (movie->progress) {
    progress = [movie](int16_t message, Fixed percent) {
      return movie->progress(movie, message, kProgressOpExportMovie, percent, movie->refcon) == kNoErr;
    };
  }
  return ExportQuickTime(movie->input, path, exporter->settings, progress);
}

void FfmpegMovieEngine::DisposeMovie(Movie movie) {
  if (!movie) return;
  CloseMovieInput(&movie->input);
  delete movie;
}

}  // namespace conv
