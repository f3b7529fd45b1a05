// Real conversions through the FFmpeg movie toolbox: sources written by the ffmpeg program
// at test time, results looked at with ffprobe.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "converter/conversion.h"
#include "converter/ffmpeg_engine.h"
#include "converter/tests/movie_tools.h"

using namespace conv;
using namespace conv_test;
namespace fs = std::filesystem;

namespace {

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Preset(const char* name) { return ReadFile(fs::path(CRV_CONVERTER_PRESETS) / name); }

class ConverterExport : public ::testing::Test {
 protected:
  fs::path dir;
  FfmpegMovieEngine engine;
  Converter converter{engine, Preset("h263.qtac"), Preset("sorenson3.qtac")};

  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("crv-converter-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    ASSERT_TRUE(converter.StartEngine());
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Make(Source kind, const std::string& name, double seconds = 2.0, int w = 320, int h = 240) {
    std::string path = (dir / name).string();
    EXPECT_TRUE(MakeSource(kind, path, seconds, w, h)) << "ffmpeg could not write " << name;
    return path;
  }
  int Convert(const std::string& path, int32_t choice = kChoiceH263) {
    converter.codecChoice = choice;
    if (converter.PrepareExport() != kPrepared) return -1;
    return converter.ConvertOneFile(FromUtf8(path), nullptr);
  }
  static std::string Out(const Converter& c) { return ToUtf8(c.OutputName()); }
};

void ExpectQuickTime(const std::string& path, const char* video, const char* tag, int width, int height,
                     double seconds, bool sound = true) {
  Probe probe = ProbeMovie(path);
  ASSERT_TRUE(probe.ok) << path;
  EXPECT_NE(probe.format["format_name"].find("mov"), std::string::npos);
  EXPECT_EQ(probe.format["TAG:major_brand"], "qt  ") << "a QuickTime movie";
  EXPECT_NEAR(std::stod(probe.format["duration"]), seconds, 0.25);
  if (video) {
    const Fields* v = probe.Stream("video");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->at("codec_name"), video);
    EXPECT_EQ(v->at("codec_tag_string"), tag);
    EXPECT_EQ(v->at("width"), std::to_string(width));
    EXPECT_EQ(v->at("height"), std::to_string(height));
  } else {
    EXPECT_EQ(probe.Stream("video"), nullptr);
  }
  const Fields* a = probe.Stream("audio");
  if (!sound) {
    EXPECT_EQ(a, nullptr);
    return;
  }
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->at("codec_name"), "adpcm_ima_qt");
  EXPECT_EQ(a->at("codec_tag_string"), "ima4");
  EXPECT_EQ(a->at("sample_rate"), "22050");
  EXPECT_EQ(a->at("channels"), "1");
  std::vector<std::string> atoms = TopLevelAtoms(path);
  auto moov = std::find(atoms.begin(), atoms.end(), "moov"), mdat = std::find(atoms.begin(), atoms.end(), "mdat");
  EXPECT_TRUE(moov != atoms.end() && mdat != atoms.end() && moov < mdat) << "the movie resource comes first";
}

}  // namespace

TEST_F(ConverterExport, H263PresetConvertsEverySourceKind) {
  struct Case {
    Source kind;
    const char* name;
    const char* out;
  };
  for (const Case& c : {Case{Source::kMjpegAvi, "clip.avi", "clip.mov"},
                        Case{Source::kSorensonMov, "movie.mov", "movie(1).mov"},
                        Case{Source::kMpeg4Mp4, "phone.mp4", "phone.mov"}}) {
    std::string source = Make(c.kind, c.name);
    ASSERT_EQ(Convert(source), kConverted) << c.name;
    EXPECT_EQ(Out(converter), (dir / c.out).string());
    // 320 x 240 fits QCIF as 176 x 132 between black bars.
    ExpectQuickTime(Out(converter), "h263", "h263", 176, 144, 2.0);
  }
}

TEST_F(ConverterExport, SorensonPresetWritesSorensonVideo1) {
  std::string source = Make(Source::kMjpegAvi, "clip.avi");
  ASSERT_EQ(Convert(source, kChoiceSorenson3), kConverted);
  ExpectQuickTime(Out(converter), "svq1", "SVQ1", 320, 240, 2.0);
  std::string mp4 = Make(Source::kMpeg4Mp4, "odd.mp4", 1.0, 322, 182);
  ASSERT_EQ(converter.ConvertOneFile(FromUtf8(mp4), nullptr), kConverted);
  ExpectQuickTime(Out(converter), "svq1", "SVQ1", 320, 180, 1.0);
}

TEST_F(ConverterExport, H263FrameSizeFollowsTheSource) {
  std::string wide = Make(Source::kSilentAvi, "wide.avi", 1.0, 640, 360);
  ASSERT_EQ(Convert(wide), kConverted);
  ExpectQuickTime(Out(converter), "h263", "h263", 352, 288, 1.0, false);
  std::string tiny = Make(Source::kSilentAvi, "tiny.avi", 1.0, 64, 48);
  ASSERT_EQ(converter.ConvertOneFile(FromUtf8(tiny), nullptr), kConverted);
  ExpectQuickTime(Out(converter), "h263", "h263", 128, 96, 1.0, false);
}

TEST_F(ConverterExport, SoundOnlyAndSilentMovies) {
  std::string wav = Make(Source::kSoundWav, "tone.wav");
  ASSERT_EQ(Convert(wav), kConverted);
  ExpectQuickTime(Out(converter), nullptr, nullptr, 0, 0, 2.0);
  std::string silent = Make(Source::kSilentAvi, "silent.avi");
  ASSERT_EQ(converter.ConvertOneFile(FromUtf8(silent), nullptr), kConverted);
  ExpectQuickTime(Out(converter), "h263", "h263", 176, 144, 2.0, false);
}

TEST_F(ConverterExport, ConvertingIntoItsOwnFolderNeverTouchesTheSource) {
  std::string source = Make(Source::kSorensonMov, "movie.mov");
  Bytes before = ReadFile(source);
  ASSERT_EQ(Convert(source), kConverted);
  EXPECT_EQ(Out(converter), (dir / "movie(1).mov").string());
  EXPECT_EQ(ReadFile(source), before);
  ASSERT_EQ(converter.ConvertOneFile(FromUtf8(source), nullptr), kConverted);
  EXPECT_EQ(Out(converter), (dir / "movie(2).mov").string());
  EXPECT_EQ(ReadFile(source), before);
}

TEST_F(ConverterExport, OutputFolderReceivesTheMovies) {
  std::string source = Make(Source::kMjpegAvi, "clip.avi");
  fs::create_directories(dir / "out");
  converter.sameFolder = false;
  converter.outputFolder = FromUtf8((dir / "out").string());
  ASSERT_EQ(Convert(source), kConverted);
  EXPECT_EQ(Out(converter), (dir / "out" / "clip.mov").string());
  ASSERT_EQ(converter.ConvertOneFile(FromUtf8(source), nullptr), kConverted);
  EXPECT_EQ(Out(converter), (dir / "out" / "clip(1).mov").string());
}

TEST_F(ConverterExport, AFileThatIsNoMovie) {
  std::ofstream(dir / "notes.mov") << std::string(5000, 'x') << "This is a text, not a movie.\n";
  ASSERT_EQ(Convert((dir / "notes.mov").string()), kNoMovieInFile);
  std::ofstream(dir / "empty.avi");
  EXPECT_EQ(converter.ConvertOneFile(FromUtf8((dir / "empty.avi").string()), nullptr), kNoMovieInFile);
  EXPECT_EQ(converter.ConvertOneFile(FromUtf8((dir / "missing.avi").string()), nullptr), kBadFileName);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2) << "nothing was written";
}

TEST_F(ConverterExport, TruncatedMovies) {
  // Index at the end, cut off: no movie can be found in what is left.
  std::string mov = Make(Source::kSorensonMov, "cut.mov");
  fs::resize_file(mov, fs::file_size(mov) / 2);
  EXPECT_EQ(Convert(mov), kNoMovieInFile);
  // Index first, the data cut: the movie opens but its frames are missing.
  std::string mp4 = Make(Source::kMpeg4Mp4, "cut.mp4");
  fs::resize_file(mp4, fs::file_size(mp4) / 2);
  EXPECT_EQ(converter.ConvertOneFile(FromUtf8(mp4), nullptr), kConvertFailed);
  // An AVI without the end of its data and its index.
  std::string avi = Make(Source::kMjpegAvi, "cut.avi");
  fs::resize_file(avi, fs::file_size(avi) / 2);
  EXPECT_EQ(converter.ConvertOneFile(FromUtf8(avi), nullptr), kConvertFailed);
  EXPECT_FALSE(fs::exists(dir / "cut(1).mov"));
  EXPECT_FALSE(fs::exists(dir / "cut.mov") && fs::file_size(dir / "cut.mov") != fs::file_size(mov));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3) << "no partial output left";
}

TEST_F(ConverterExport, UnwritableOutputFolder) {
  std::string source = Make(Source::kMjpegAvi, "clip.avi");
  converter.sameFolder = false;
  // Nobody, not even root, creates files in /proc; a plain user cannot write a 0555 folder.
  fs::path locked = dir / "locked";
  fs::create_directories(locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  converter.outputFolder = FromUtf8(::geteuid() == 0 ? std::string("/proc") : locked.string());
  EXPECT_EQ(Convert(source), kConvertFailed);
  converter.outputFolder = FromUtf8((dir / "no" / "such" / "folder").string());
  EXPECT_EQ(converter.ConvertOneFile(FromUtf8(source), nullptr), kConvertFailed);
  fs::permissions(locked, fs::perms::owner_all);
  EXPECT_TRUE(fs::is_empty(locked));
}

TEST_F(ConverterExport, ProgressRunsFromOpenToCloseAndCanAbort) {
  std::string source = Make(Source::kMjpegAvi, "clip.avi", 3.0);
  converter.codecChoice = kChoiceH263;
  ASSERT_EQ(converter.PrepareExport(), kPrepared);
  std::vector<double> seen;
  std::function<bool(double)> record = [&](double x) {
    seen.push_back(x);
    return true;
  };
  ASSERT_EQ(converter.ConvertOneFile(FromUtf8(source), &record), kConverted);
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(seen.front(), -1.0);
  EXPECT_EQ(seen.back(), -2.0);
  EXPECT_EQ(seen[seen.size() - 2], 1.0);
  for (size_t i = 2; i + 1 < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]);

  int calls = 0;
  std::function<bool(double)> abortHalfway = [&](double x) { return ++calls < 3 || x < 0.3; };
  EXPECT_EQ(converter.ConvertOneFile(FromUtf8(source), &abortHalfway), kConvertFailed);
  EXPECT_FALSE(fs::exists(dir / "clip(1).mov")) << "an aborted export leaves no file";
}

TEST_F(ConverterExport, CustomSettingsFromTheDialog) {
  engine.SetSettingsDialog([](ExportSettings& s) {
    EXPECT_EQ(s.videoCodec, kCodecH263) << "Custom starts from the H.263 preset";
    s.videoCodec = kCodecSorenson1;
    s.sampleRate = 11025u << 16;
    s.channels = 2;
    return true;
  });
  std::string source = Make(Source::kMjpegAvi, "clip.avi");
  ASSERT_EQ(Convert(source, kChoiceCustom), kConverted);
  Probe probe = ProbeMovie(Out(converter));
  ASSERT_NE(probe.Stream("video"), nullptr);
  EXPECT_EQ(probe.Stream("video")->at("codec_name"), "svq1");
  EXPECT_EQ(probe.Stream("audio")->at("sample_rate"), "11025");
  EXPECT_EQ(probe.Stream("audio")->at("channels"), "2");

  // The next Custom dialog starts from these settings; cancelling it changes nothing.
  engine.SetSettingsDialog([](ExportSettings& s) {
    EXPECT_EQ(s.videoCodec, kCodecSorenson1);
    return false;
  });
  EXPECT_EQ(converter.PrepareExport(), kPrepareCancelled);
  ASSERT_EQ(converter.ConvertOneFile(FromUtf8(source), nullptr), kConverted);
  EXPECT_EQ(ProbeMovie(Out(converter)).Stream("video")->at("codec_name"), "svq1");
}

TEST_F(ConverterExport, EngineRefusesWhatTheToolboxWould) {
  FfmpegMovieEngine fresh;
  EXPECT_EQ(fresh.OpenDefaultComponent(kMovieExportType, kMovieFileType), nullptr) << "before InitializeQTML";
  ASSERT_EQ(fresh.InitializeQTML(0), kNoErr);
  EXPECT_EQ(fresh.OpenDefaultComponent(Four("spit"), Four("AVI ")), nullptr) << "only the QuickTime exporter";
  FileSpec spec;
  MakeFileSpec(u"/tmp/whatever.avi", &spec);
  int16_t ref = 0;
  EXPECT_EQ(fresh.OpenMovieFile(spec, &ref, kReadPermission), kNotInitialized) << "before EnterMovies";
  ASSERT_EQ(fresh.EnterMovies(), kNoErr);
  ComponentInstance exporter = fresh.OpenDefaultComponent(kMovieExportType, kMovieFileType);
  ASSERT_NE(exporter, nullptr);
  Bytes junk{1, 2, 3};
  EXPECT_EQ(fresh.MovieExportSetSettingsFromAtomContainer(exporter, &junk), kParamErr);
  bool cancelled = false;
  EXPECT_EQ(fresh.MovieExportDoUserDialog(exporter, nullptr, nullptr, 0, 0, &cancelled), kNoErr);
  EXPECT_TRUE(cancelled) << "without a dialog there is nothing to accept";
  EXPECT_EQ(fresh.CloseComponent(exporter), kNoErr);
  EXPECT_EQ(fresh.CloseComponent(exporter), kBadComponentInstance);

  std::string source = Make(Source::kMjpegAvi, "clip.avi", 1.0);
  std::ofstream(dir / "taken.mov") << "mine";
  ASSERT_TRUE(MakeFileSpec(FromUtf8(source), &spec));
  ASSERT_EQ(fresh.OpenMovieFile(spec, &ref, kReadPermission), kNoErr);
  Movie movie = nullptr;
  ASSERT_EQ(fresh.NewMovieFromFile(&movie, ref, nullptr, nullptr, kNewMovieActive, nullptr), kNoErr);
  fresh.CloseMovieFile(ref);
  exporter = fresh.OpenDefaultComponent(kMovieExportType, kMovieFileType);
  FileSpec taken;
  MakeFileSpec(FromUtf8((dir / "taken.mov").string()), &taken);
  EXPECT_EQ(fresh.ConvertMovieToFile(movie, nullptr, taken, kMovieFileType, kMoviePlayerCreator, kSystemScript,
                                     nullptr, kMovieToFileOnlyExport | kMovieFileSpecValid, exporter),
            kDuplicateFileErr);
  EXPECT_EQ(ReadFile(dir / "taken.mov"), (Bytes{'m', 'i', 'n', 'e'})) << "an existing file is never overwritten";
  EXPECT_EQ(fresh.ConvertMovieToFile(movie, nullptr, taken, Four("AVI "), kMoviePlayerCreator, kSystemScript,
                                     nullptr, kMovieToFileOnlyExport | kMovieFileSpecValid, exporter),
            kParamErr);
  FileSpec twice;
  MakeFileSpec(FromUtf8((dir / "twice.mov").string()), &twice);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(fresh.ConvertMovieToFile(movie, nullptr, twice, kMovieFileType, kMoviePlayerCreator, kSystemScript,
                                       nullptr, kCreateMovieFileDeleteCurFile | kMovieFileSpecValid, exporter),
              kNoErr) << "a movie converts again, from its start";
    EXPECT_NEAR(std::stod(ProbeMovie((dir / "twice.mov").string()).format["duration"]), 1.0, 0.25);
  }
  fresh.CloseComponent(exporter);
  fresh.DisposeMovie(movie);
  fresh.ExitMovies();
  fresh.TerminateQTML();
}
