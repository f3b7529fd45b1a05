// A movie toolbox that records every call, with answers set by the test.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "converter/movie_engine.h"

namespace conv {

struct ComponentRecord {
  int id = 0;
};
struct MovieRecord {
  u16 path;
  MovieProgressProc proc = nullptr;
  void* refcon = nullptr;
};

class FakeEngine : public MovieEngine {
 public:
  std::vector<std::string> calls;
  OSErr initResult = kNoErr, enterResult = kNoErr;
  bool haveExporter = true;
  OSErr setResult = kNoErr, getResult = kNoErr;
  OSErr dialogResult = kNoErr;
  bool dialogCancels = false;
  OSErr openFileResult = kNoErr;
  OSErr newMovieResult = kNoErr;
  OSErr convertResult = kNoErr;
  Bytes lastApplied;       // the container handed to the last SetSettings
  size_t lastHandleSize = 0;
  FileSpec lastOutput;
  int32_t lastFlags = 0;
  OSType lastFileType = 0, lastCreator = 0;
  int16_t lastScript = 0;
  int16_t lastMovieFlags = 0;
  int8_t lastPermission = 0;
  u16 lastSource;
  // Runs inside ConvertMovieToFile with the movie's progress procedure; its result is the
  // conversion's result.
  std::function<OSErr(MovieRecord& movie)> duringConvert;
  int liveHandles = 0, liveContainers = 0, liveComponents = 0, liveMovies = 0;

  OSErr InitializeQTML(int32_t) override { calls.push_back("InitializeQTML"); return initResult; }
  void TerminateQTML() override { calls.push_back("TerminateQTML"); }
  OSErr EnterMovies() override { calls.push_back("EnterMovies"); return enterResult; }
  void ExitMovies() override { calls.push_back("ExitMovies"); }
  ComponentInstance OpenDefaultComponent(OSType type, OSType subtype) override {
    calls.push_back("OpenDefaultComponent");
    if (!haveExporter || type != kMovieExportType || subtype != kMovieFileType) return nullptr;
    ++liveComponents;
    return new ComponentRecord;
  }
  OSErr CloseComponent(ComponentInstance instance) override {
    calls.push_back("CloseComponent");
    --liveComponents;
    delete instance;
    return kNoErr;
  }
  Handle NewHandle(size_t size) override {
    calls.push_back("NewHandle");
    lastHandleSize = size;
    ++liveHandles;
    return new Bytes(size);
  }
  void DisposeHandle(Handle handle) override {
    calls.push_back("DisposeHandle");
    --liveHandles;
    delete handle;
  }
  OSErr MovieExportSetSettingsFromAtomContainer(ComponentInstance, QTAtomContainer settings) override {
    calls.push_back("SetSettings");
    lastApplied = settings ? *settings : Bytes();
    return setResult;
  }
  OSErr MovieExportGetSettingsAsAtomContainer(ComponentInstance, QTAtomContainer* settings) override {
    calls.push_back("GetSettings");
    if (getResult != kNoErr) return getResult;
    ++liveContainers;
    *settings = new Bytes(lastApplied);
    (*settings)->push_back(0xEE);  // marks settings that came back from the exporter
    return kNoErr;
  }
  OSErr MovieExportDoUserDialog(ComponentInstance, Movie movie, void* track, int32_t start, int32_t duration,
                                bool* cancelled) override {
    calls.push_back("DoUserDialog");
    *cancelled = dialogCancels;
    if (movie || track || start || duration) return kParamErr;
    return dialogResult;
  }
  OSErr OpenMovieFile(const FileSpec& file, int16_t* refNum, int8_t permission) override {
    calls.push_back("OpenMovieFile");
    lastSource = file.Path();
    lastPermission = permission;
    *refNum = 7;
    return openFileResult;
  }
  OSErr NewMovieFromFile(Movie* movie, int16_t refNum, int16_t*, u16*, int16_t flags, bool*) override {
    calls.push_back("NewMovieFromFile");
    lastMovieFlags = flags;
    *movie = nullptr;
    if (refNum != 7) return kParamErr;
    if (newMovieResult != kNoErr) return newMovieResult;
    ++liveMovies;
    *movie = new MovieRecord;
    (*movie)->path = lastSource;
    return kNoErr;
  }
  OSErr CloseMovieFile(int16_t) override { calls.push_back("CloseMovieFile"); return kNoErr; }
  void SetMovieProgressProc(Movie movie, MovieProgressProc proc, void* refcon) override {
    calls.push_back("SetMovieProgressProc");
    movie->proc = proc;
    movie->refcon = refcon;
  }
  OSErr ConvertMovieToFile(Movie movie, void*, const FileSpec& output, OSType fileType, OSType creator,
                           int16_t script, int16_t*, int32_t flags, ComponentInstance) override {
    calls.push_back("ConvertMovieToFile");
    lastOutput = output;
    lastFileType = fileType;
    lastCreator = creator;
    lastScript = script;
    lastFlags = flags;
    if (duringConvert) return duringConvert(*movie);
    return convertResult;
  }
  void DisposeMovie(Movie movie) override {
    calls.push_back("DisposeMovie");
    --liveMovies;
    delete movie;
  }
  void QTDisposeAtomContainer(QTAtomContainer container) override {
    calls.push_back("QTDisposeAtomContainer");
    --liveContainers;
    delete container;
  }
};

}  // namespace conv
