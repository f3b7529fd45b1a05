// The movie exporter's work, over libavformat, libavcodec, libswscale and libswresample:
// read any movie those libraries can read and write it as a QuickTime movie with H.263 or
// Sorenson Video and IMA 4:1 (or 16-bit) sound, as the export settings say.
#pragma once
#include <functional>
#include <string>

#include "converter/export_settings.h"
#include "converter/movie_engine.h"

struct AVFormatContext;

namespace conv {

// Reports (progress message, percent done as 16.16 fixed); false aborts the export.
using ExportProgress = std::function<bool(int16_t message, Fixed percentDone)>;

// A libavformat address for a path: "file:" and the path in UTF-8 (libavformat turns it
// back into UTF-16 on Windows).
std::string FileUrl(const u16& path);

// Opens and probes a movie. kNoMovieFound when no demuxer recognises the file or it has
// neither a picture nor a sound track that can be decoded; kFileNotFoundErr / kIoErr when
// it cannot be read.
OSErr OpenMovieInput(const std::string& url, AVFormatContext** input);
void CloseMovieInput(AVFormatContext** input);

// Writes `input`, read from its current position (the start, after OpenMovieInput), as a
// QuickTime movie ('qt  ' file type, movie resource first) at `outputPath`. A partly written file is
// removed again when the export fails or is aborted (kUserCanceledErr). A movie whose data
// ends before the frames its header declares is damaged: kInvalidMovie.
OSErr ExportQuickTime(AVFormatContext* input, const u16& outputPath, const ExportSettings& settings,
                      const ExportProgress& progress);

}  // namespace conv
