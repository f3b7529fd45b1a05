// The movie toolbox of the converter over FFmpeg's libraries: one movie exporter component
// ('spit' / 'MooV') whose settings are the atom container of the presets, movie files opened
// with libavformat, and ConvertMovieToFile writing QuickTime movies (movie_transcoder.h).
#pragma once
#include <mutex>
#include <set>
#include <map>

#include "converter/movie_engine.h"

namespace conv {

class FfmpegMovieEngine : public MovieEngine {
 public:
  FfmpegMovieEngine();
  ~FfmpegMovieEngine() override;

  // The exporter's settings dialog (Custom); without one the dialog counts as cancelled.
  void SetSettingsDialog(SettingsDialogFn dialog) { dialog_ = std::move(dialog); }

  OSErr InitializeQTML(int32_t flags) override;
  void TerminateQTML() override;
  OSErr EnterMovies() override;
  void ExitMovies() override;
  ComponentInstance OpenDefaultComponent(OSType type, OSType subtype) override;
  OSErr CloseComponent(ComponentInstance instance) override;
  Handle NewHandle(size_t size) override;
  void DisposeHandle(Handle handle) override;
  OSErr MovieExportSetSettingsFromAtomContainer(ComponentInstance instance, QTAtomContainer settings) override;
  OSErr MovieExportGetSettingsAsAtomContainer(ComponentInstance instance, QTAtomContainer* settings) override;
  OSErr MovieExportDoUserDialog(ComponentInstance instance, Movie movie, void* track, int32_t start, int32_t duration,
                                bool* cancelled) override;
  OSErr OpenMovieFile(const FileSpec& file, int16_t* refNum, int8_t permission) override;
  OSErr NewMovieFromFile(Movie* movie, int16_t refNum, int16_t* resId, u16* name, int16_t flags,
                         bool* dataRefWasChanged) override;
  OSErr CloseMovieFile(int16_t refNum) override;
  void SetMovieProgressProc(Movie movie, MovieProgressProc proc, void* refcon) override;
  OSErr ConvertMovieToFile(Movie movie, void* onlyTrack, const FileSpec& output, OSType fileType, OSType creator,
                           int16_t scriptTag, int16_t* resId, int32_t flags, ComponentInstance exporter) override;
  void DisposeMovie(Movie movie) override;
  void QTDisposeAtomContainer(QTAtomContainer container) override;

  // How many times the runtime is initialised (it counts up and down).
  int InitCount() const;

 private:
  bool Ready() const;
  bool Live(ComponentInstance instance) const;

  mutable std::mutex lock_;
  int initCount_ = 0;
  bool entered_ = false;
  std::set<ComponentInstance> components_;
  std::map<int16_t, u16> files_;
  int16_t nextRefNum_ = 1;
  SettingsDialogFn dialog_;
};

}  // namespace conv
