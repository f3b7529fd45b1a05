// The movie toolbox the converter drives: runtime start and end, the movie exporter
// component ('spit' / 'MooV'), its settings as atom containers and its settings dialog,
// opening movie files and converting a movie to a QuickTime file with a progress procedure
// that may abort. The operations keep the names, arguments and results the converter's
// calls rely on; FfmpegMovieEngine implements them, tests put recording fakes in its place.
#pragma once
#include <cstdint>
#include <functional>

#include "converter/atom_container.h"
#include "converter/conv_text.h"
#include "converter/export_settings.h"

namespace conv {

using OSErr = int32_t;
using OSType = uint32_t;
using Fixed = int32_t;

constexpr OSErr kNoErr = 0;
constexpr OSErr kIoErr = -36;
constexpr OSErr kFileNotFoundErr = -43;
constexpr OSErr kDuplicateFileErr = -48;
constexpr OSErr kParamErr = -50;
constexpr OSErr kUserCanceledErr = -128;
constexpr OSErr kNoMovieFound = -2048;       // the file holds no movie
constexpr OSErr kInvalidMovie = -2010;       // the movie's data is damaged or cut short
constexpr OSErr kBadComponentInstance = -2002;
constexpr OSErr kCodecErr = -8961;           // no decoder or encoder for a track
constexpr OSErr kNotInitialized = -2020;

constexpr OSType kMovieExportType = Four("spit");
constexpr OSType kMovieFileType = Four("MooV");
constexpr OSType kMoviePlayerCreator = Four("TVOD");

constexpr int8_t kReadPermission = 1;
constexpr int16_t kNewMovieActive = 1;
constexpr int16_t kSystemScript = -1;
constexpr int32_t kMovieToFileOnlyExport = 4;
constexpr int32_t kMovieFileSpecValid = 8;
constexpr int32_t kCreateMovieFileDeleteCurFile = static_cast<int32_t>(0x80000000u);

struct ComponentRecord;
using ComponentInstance = ComponentRecord*;
struct MovieRecord;
using Movie = MovieRecord*;
using Handle = Bytes*;
using QTAtomContainer = Handle;

// A file specification as the converter builds it: volume 0, parent folder 0 and the full
// path as a length-prefixed string of at most 254 characters.
struct FileSpec {
  int16_t volume = 0;
  int32_t parent = 0;
  uint8_t length = 0;
  char16_t name[255] = {};

  u16 Path() const { return u16(name, name + length); }
};
// False when the path is empty or longer than kMaxSpecChars.
bool MakeFileSpec(const u16& path, FileSpec* spec);

// Messages and operation of the movie progress procedure.
constexpr int16_t kProgressOpen = 0;
constexpr int16_t kProgressUpdatePercent = 1;
constexpr int16_t kProgressClose = 2;
constexpr int16_t kProgressOpExportMovie = 12;

// The movie progress procedure: (movie, message, operation, percent done 16.16, reference
// constant) → 0 to go on, anything else to abort.
using MovieProgressProc = OSErr (*)(Movie movie, int16_t message, int16_t operation, Fixed percentDone,
                                    void* refcon);

// The exporter's settings dialog: shows `settings`, changes them on OK; false = cancelled.
using SettingsDialogFn = std::function<bool(ExportSettings& settings)>;

class MovieEngine {
 public:
  virtual ~MovieEngine() = default;

  virtual OSErr InitializeQTML(int32_t flags) = 0;
  virtual void TerminateQTML() = 0;
  virtual OSErr EnterMovies() = 0;
  virtual void ExitMovies() = 0;

  // Null when no component of that type and subtype exists.
  virtual ComponentInstance OpenDefaultComponent(OSType type, OSType subtype) = 0;
  virtual OSErr CloseComponent(ComponentInstance instance) = 0;

  virtual Handle NewHandle(size_t size) = 0;
  virtual void DisposeHandle(Handle handle) = 0;

  virtual OSErr MovieExportSetSettingsFromAtomContainer(ComponentInstance instance, QTAtomContainer settings) = 0;
  // Hands out a new container that the caller disposes of with QTDisposeAtomContainer.
  virtual OSErr MovieExportGetSettingsAsAtomContainer(ComponentInstance instance, QTAtomContainer* settings) = 0;
  virtual OSErr MovieExportDoUserDialog(ComponentInstance instance, Movie movie, void* track, int32_t start,
                                        int32_t duration, bool* cancelled) = 0;

  virtual OSErr OpenMovieFile(const FileSpec& file, int16_t* refNum, int8_t permission) = 0;
  virtual OSErr NewMovieFromFile(Movie* movie, int16_t refNum, int16_t* resId, u16* name, int16_t flags,
                                 bool* dataRefWasChanged) = 0;
  virtual OSErr CloseMovieFile(int16_t refNum) = 0;
  virtual void SetMovieProgressProc(Movie movie, MovieProgressProc proc, void* refcon) = 0;
  virtual OSErr ConvertMovieToFile(Movie movie, void* onlyTrack, const FileSpec& output, OSType fileType,
                                   OSType creator, int16_t scriptTag, int16_t* resId, int32_t flags,
                                   ComponentInstance exporter) = 0;
  virtual void DisposeMovie(Movie movie) = 0;
  virtual void QTDisposeAtomContainer(QTAtomContainer container) = 0;
};

}  // namespace conv
