// The conversion steps against a recording movie toolbox: the order of the calls, the
// results and the messages, the saved settings, and the batch with pausing and cancelling.
#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "converter/conversion.h"
#include "converter/messages.h"
#include "converter/tests/fake_engine.h"

using namespace conv;

namespace {

using Calls = std::vector<std::string>;

const Bytes kH263{1, 2, 3, 4, 5};
const Bytes kSorenson{9, 8, 7};

class FakeHost : public BatchHost {
 public:
  std::deque<u16> paths, rows;
  std::vector<int> progress;
  std::vector<u16> statuses;
  std::vector<u16> errors;
  int rangeMax = -1;
  int ended = 0;
  std::function<void()> onRemove;

  void Add(const u16& path) {
    paths.push_back(path);
    rows.push_back(path);
  }
  size_t PathCount() override { return paths.size(); }
  size_t RowCount() override { return rows.size(); }
  u16 FirstPath() override { return paths.front(); }
  void RemoveFirstRow() override {
    paths.pop_front();
    rows.pop_front();
    if (onRemove) onRemove();
  }
  void SetProgressRange(int maximum) override { rangeMax = maximum; }
  void SetProgress(int position) override { progress.push_back(position); }
  void SetStatus(const u16& text) override { statuses.push_back(text); }
  void ShowError(const char16_t* text) override { errors.push_back(text); }
  void BatchEnded() override { ++ended; }
};

class ConverterSteps : public ::testing::Test {
 protected:
  FakeEngine engine;
  Converter converter{engine, kH263, kSorenson};
  std::set<u16> existing;

  void SetUp() override {
    converter.exists = [this](const u16& path) { return existing.count(path) > 0; };
    converter.sleep = [](int) {};
  }
  void Ready() {
    ASSERT_TRUE(converter.StartEngine());
    ASSERT_EQ(converter.PrepareExport(), kPrepared);
    engine.calls.clear();
  }
};

}  // namespace

TEST_F(ConverterSteps, EngineStartsOnceAndStopsAsFarAsItCame) {
  EXPECT_TRUE(converter.StartEngine());
  EXPECT_TRUE(converter.StartEngine());
  EXPECT_EQ(engine.calls, (Calls{"InitializeQTML", "EnterMovies"}));
  EXPECT_EQ(converter.Level(), 2);
  ASSERT_EQ(converter.PrepareExport(), kPrepared);
  engine.calls.clear();
  converter.ShutDown();
  EXPECT_EQ(engine.calls, (Calls{"QTDisposeAtomContainer", "ExitMovies", "TerminateQTML"}));
  EXPECT_EQ(engine.liveContainers, 0);
  engine.calls.clear();
  converter.ShutDown();
  EXPECT_TRUE(engine.calls.empty());
}

TEST_F(ConverterSteps, AFailedStartIsTriedAgainNextTime) {
  engine.enterResult = -1;
  EXPECT_FALSE(converter.StartEngine());
  EXPECT_EQ(converter.Level(), 1);
  engine.enterResult = kNoErr;
  engine.calls.clear();
  EXPECT_TRUE(converter.StartEngine());
  EXPECT_EQ(engine.calls, (Calls{"EnterMovies"})) << "the runtime stays initialised";
  engine.calls.clear();
  Converter other(engine, kH263, kSorenson);
  engine.initResult = -1;
  EXPECT_FALSE(other.StartEngine());
  engine.calls.clear();
  other.ShutDown();
  EXPECT_TRUE(engine.calls.empty()) << "nothing to undo";
}

TEST_F(ConverterSteps, FirstPreparationAppliesThePresetOfTheChoice) {
  converter.codecChoice = kChoiceSorenson3;
  EXPECT_EQ(converter.PrepareExport(), kPrepared);
  EXPECT_EQ(engine.calls, (Calls{"OpenDefaultComponent", "NewHandle", "SetSettings", "DisposeHandle", "GetSettings",
                                 "CloseComponent"}));
  EXPECT_EQ(engine.lastHandleSize, kSorenson.size());
  EXPECT_EQ(engine.lastApplied, kSorenson);
  ASSERT_TRUE(converter.HasSavedSettings());
  EXPECT_EQ(converter.SavedSettings()->back(), 0xEE) << "the exporter's own settings are kept";
  EXPECT_EQ(engine.liveHandles, 0);
  EXPECT_EQ(engine.liveComponents, 0);

  Converter h263(engine, kH263, kSorenson);
  h263.codecChoice = kChoiceH263;
  EXPECT_EQ(h263.PrepareExport(), kPrepared);
  EXPECT_EQ(engine.lastApplied, kH263);
  Converter custom(engine, kH263, kSorenson);
  custom.codecChoice = kChoiceCustom;
  EXPECT_EQ(custom.PrepareExport(), kPrepared);
  EXPECT_EQ(engine.lastApplied, kH263) << "Custom starts from the H.263 preset";
}

TEST_F(ConverterSteps, LaterBatchesApplyTheSavedSettings) {
  converter.codecChoice = kChoiceH263;
  ASSERT_EQ(converter.PrepareExport(), kPrepared);
  Bytes saved = *converter.SavedSettings();
  engine.calls.clear();
  EXPECT_EQ(converter.PrepareExport(), kPrepared);
  // The exporter hands out a new container each time: the one it replaces is disposed of.
  EXPECT_EQ(engine.calls, (Calls{"OpenDefaultComponent", "SetSettings", "GetSettings", "QTDisposeAtomContainer",
                                 "CloseComponent"}));
  EXPECT_EQ(engine.lastApplied, saved);
  EXPECT_EQ(engine.liveContainers, 1) << "the previous container was disposed of";

  converter.codecChoice = kChoiceCustom;
  engine.calls.clear();
  EXPECT_EQ(converter.PrepareExport(), kPrepared);
  EXPECT_EQ(engine.calls,
            (Calls{"OpenDefaultComponent", "SetSettings", "DoUserDialog", "GetSettings", "QTDisposeAtomContainer",
                   "CloseComponent"}));
  EXPECT_EQ(engine.lastApplied.size(), saved.size() + 1) << "the dialog starts from what was used last";

  converter.codecChoice = kChoiceSorenson3;
  EXPECT_EQ(converter.PrepareExport(), kPrepared);
  EXPECT_EQ(engine.lastApplied, kSorenson) << "choosing another preset loads that preset";
}

TEST_F(ConverterSteps, CancelledOrFailedPreparationKeepsWhatWasSaved) {
  converter.codecChoice = kChoiceCustom;
  engine.dialogCancels = true;
  EXPECT_EQ(converter.PrepareExport(), kPrepareCancelled);
  EXPECT_FALSE(converter.HasSavedSettings());
  EXPECT_EQ(engine.calls.back(), "CloseComponent");
  EXPECT_EQ(engine.liveComponents, 0);

  engine.dialogCancels = false;
  engine.dialogResult = kUserCanceledErr;
  EXPECT_EQ(converter.PrepareExport(), kPrepareCancelled);
  engine.dialogResult = -9;
  EXPECT_EQ(converter.PrepareExport(), kPrepareFailed);

  engine.dialogResult = kNoErr;
  engine.setResult = kParamErr;
  EXPECT_EQ(converter.PrepareExport(), kPrepareFailed) << "settings the exporter refuses";
  engine.setResult = kNoErr;
  engine.getResult = -1;
  EXPECT_EQ(converter.PrepareExport(), kPrepareFailed);
  EXPECT_FALSE(converter.HasSavedSettings());
  EXPECT_EQ(engine.liveComponents, 0);

  engine.haveExporter = false;
  engine.calls.clear();
  EXPECT_EQ(converter.PrepareExport(), kNoExporter);
  EXPECT_EQ(engine.calls, (Calls{"OpenDefaultComponent"}));
}

TEST_F(ConverterSteps, OneFileInTheOrderTheToolboxExpects) {
  Ready();
  std::function<bool(double)> progress = [](double) { return true; };
  EXPECT_EQ(converter.ConvertOneFile(u"C:\\v\\clip.avi", &progress), kConverted);
  EXPECT_EQ(engine.calls, (Calls{"OpenMovieFile", "NewMovieFromFile", "CloseMovieFile", "OpenDefaultComponent",
                                 "SetSettings", "SetMovieProgressProc", "ConvertMovieToFile", "CloseComponent",
                                 "DisposeMovie"}));
  EXPECT_EQ(engine.lastSource, u"C:\\v\\clip.avi");
  EXPECT_EQ(engine.lastPermission, kReadPermission);
  EXPECT_EQ(engine.lastMovieFlags, kNewMovieActive);
  EXPECT_EQ(engine.lastApplied, *converter.SavedSettings());
  EXPECT_EQ(engine.lastFileType, Four("MooV"));
  EXPECT_EQ(engine.lastCreator, Four("TVOD"));
  EXPECT_EQ(engine.lastScript, -1);
  EXPECT_EQ(engine.lastFlags, 12);
  EXPECT_EQ(engine.lastOutput.volume, 0);
  EXPECT_EQ(engine.lastOutput.parent, 0);
  EXPECT_EQ(engine.lastOutput.Path(), u"C:\\v\\clip.mov");
  EXPECT_EQ(converter.OutputName(), u"C:\\v\\clip.mov");

  engine.calls.clear();
  EXPECT_EQ(converter.ConvertOneFile(u"C:\\v\\clip.avi", nullptr), kConverted);
  EXPECT_EQ(std::count(engine.calls.begin(), engine.calls.end(), "SetMovieProgressProc"), 0)
      << "no progress procedure without a progress function";
  EXPECT_EQ(engine.liveMovies, 0);
  EXPECT_EQ(engine.liveComponents, 0);
}

TEST_F(ConverterSteps, ResultsOfOneFile) {
  Ready();
  u16 longPath = u"C:\\" + u16(248, u'a') + u".avi";  // 255 characters
  EXPECT_EQ(converter.ConvertOneFile(longPath, nullptr), kBadFileName);
  EXPECT_TRUE(engine.calls.empty()) << "refused before the toolbox sees it";
  EXPECT_EQ(converter.ConvertOneFile(u"", nullptr), kBadFileName);

  engine.openFileResult = kFileNotFoundErr;
  EXPECT_EQ(converter.ConvertOneFile(u"C:\\v\\gone.avi", nullptr), kBadFileName);
  engine.openFileResult = kNoErr;

  engine.calls.clear();
  engine.newMovieResult = kNoMovieFound;
  EXPECT_EQ(converter.ConvertOneFile(u"C:\\v\\text.mov", nullptr), kNoMovieInFile);
  EXPECT_EQ(engine.calls, (Calls{"OpenMovieFile", "NewMovieFromFile", "CloseMovieFile"}));
  engine.newMovieResult = kInvalidMovie;
  EXPECT_EQ(converter.ConvertOneFile(u"C:\\v\\bad.mov", nullptr), kConvertFailed);
  engine.newMovieResult = kNoErr;

  engine.convertResult = kIoErr;
  EXPECT_EQ(converter.ConvertOneFile(u"C:\\v\\clip.avi", nullptr), kConvertFailed);
  engine.convertResult = kNoErr;

  engine.setResult = kParamErr;
  engine.calls.clear();
  EXPECT_EQ(converter.ConvertOneFile(u"C:\\v\\clip.avi", nullptr), kConvertFailed);
  EXPECT_EQ(std::count(engine.calls.begin(), engine.calls.end(), "ConvertMovieToFile"), 0);
  engine.setResult = kNoErr;

  engine.haveExporter = false;
  EXPECT_EQ(converter.ConvertOneFile(u"C:\\v\\clip.avi", nullptr), kConvertFailed);
  engine.haveExporter = true;
  EXPECT_EQ(engine.liveMovies, 0);
}

TEST_F(ConverterSteps, NoFreeNameFailsTheFileAndFreesTheMovie) {
  Ready();
  existing.insert(u"C:\\v\\movie.mov");
  for (int i = 1; i < 1000; ++i) existing.insert(u"C:\\v\\movie(" + Decimal(i) + u").mov");
  EXPECT_EQ(converter.ConvertOneFile(u"C:\\v\\movie.mov", nullptr), kConvertFailed);
  EXPECT_EQ(engine.calls, (Calls{"OpenMovieFile", "NewMovieFromFile", "CloseMovieFile", "DisposeMovie"}));
  EXPECT_EQ(converter.ErrorText(kConvertFailed), u16(kTextConvertError));

  converter.sameFolder = false;
  converter.outputFolder = u"";
  EXPECT_EQ(converter.ConvertOneFile(u"C:\\v\\clip.avi", nullptr), kConvertFailed) << "no output folder";
  converter.outputFolder = u"D:\\out";
  EXPECT_EQ(converter.ConvertOneFile(u"C:\\v\\clip.avi", nullptr), kConverted);
  EXPECT_EQ(engine.lastOutput.Path(), u"D:\\out\\clip.mov");
}

TEST_F(ConverterSteps, BatchConvertsFromTheTopAndMovesTheProgressBar) {
  Ready();
  FakeHost host;
  for (const char16_t* name : {u"C:\\v\\a.avi", u"C:\\v\\b.avi", u"C:\\v\\c.avi"}) host.Add(name);
  converter.MarkConverting();
  converter.RunBatch(host);
  EXPECT_TRUE(host.paths.empty());
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(host.rangeMax, 32766);
  EXPECT_EQ(host.progress, (std::vector<int>{0, 10922, 21844, 0}));
  EXPECT_EQ(host.ended, 1);
  EXPECT_EQ(converter.State(), 0);
  EXPECT_EQ(engine.lastOutput.Path(), u"C:\\v\\c.mov");
}

TEST_F(ConverterSteps, BatchTakesAtMost32767Files) {
  Ready();
  FakeHost host;
  for (int i = 0; i < 40000; ++i) host.Add(u"C:\\v\\clip" + Decimal(i) + u".avi");
  converter.MarkConverting();
  converter.RunBatch(host);
  EXPECT_EQ(host.paths.size(), 40000u - 32767u);
  EXPECT_EQ(host.paths.front(), u"C:\\v\\clip32767.avi");
  EXPECT_EQ(host.rangeMax, 32767);
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(ConverterSteps, BatchEndsAtOnceWhenTheListsDisagree) {
  Ready();
  FakeHost host;
  host.Add(u"C:\\v\\a.avi");
  host.rows.push_back(u"extra");
  converter.MarkConverting();
  converter.RunBatch(host);
  EXPECT_TRUE(engine.calls.empty());
  EXPECT_EQ(host.paths.size(), 1u);
  EXPECT_EQ(host.rangeMax, -1);
  EXPECT_EQ(host.ended, 1);
  EXPECT_EQ(converter.State(), 0);
}

TEST_F(ConverterSteps, AFailedFileStopsTheBatchWithItsMessage) {
  Ready();
  struct Case {
    OSErr newMovie;
    const char16_t* path;
    const char16_t* text;
  };
  u16 tooLongForSpec = u"C:\\" + u16(251, u'n') + u".avi";
  for (const Case& c : {Case{kNoMovieFound, u"C:\\v\\b.avi", kTextOpenComponentsMissing},
                        Case{kInvalidMovie, u"C:\\v\\b.avi", kTextConvertError},
                        Case{kNoErr, tooLongForSpec.c_str(), kTextWrongName}}) {
    FakeHost host;
    host.Add(u"C:\\v\\a.avi");
    host.Add(c.path);
    host.Add(u"C:\\v\\c.avi");
    int files = 0;
    engine.duringConvert = [&](MovieRecord&) {
      if (++files == 1) engine.newMovieResult = c.newMovie;
      return kNoErr;
    };
    converter.MarkConverting();
    converter.RunBatch(host);
    engine.newMovieResult = kNoErr;
    EXPECT_EQ(host.errors, (std::vector<u16>{c.text}));
    EXPECT_EQ(host.paths, (std::deque<u16>{c.path, u"C:\\v\\c.avi"})) << "the failed file and the rest stay";
    EXPECT_EQ(host.rows.size(), 2u);
    EXPECT_EQ(host.ended, 1);
  }
  engine.duringConvert = nullptr;

  FakeHost host;
  host.Add(u"C:\\" + u16(258, u'x'));  // 261 characters
  converter.MarkConverting();
  converter.RunBatch(host);
  EXPECT_EQ(host.errors, (std::vector<u16>{kTextTooLong}));
  EXPECT_EQ(host.paths.size(), 1u);
}

TEST_F(ConverterSteps, ProgressFunctionReportsAndPassesTheExportersMessages) {
  Ready();
  FakeHost host;
  host.Add(u"C:\\v\\a.avi");
  host.Add(u"C:\\v\\b.avi");
  std::vector<OSErr> answers;
  engine.duringConvert = [&](MovieRecord& movie) {
    for (auto message : {kProgressOpen, kProgressUpdatePercent, kProgressClose})
      answers.push_back(movie.proc(&movie, message, kProgressOpExportMovie, 0x8000, movie.refcon));
    answers.push_back(movie.proc(&movie, kProgressUpdatePercent, 3, 0x8000, movie.refcon));
    return kNoErr;
  };
  converter.MarkConverting();
  converter.RunBatch(host);
  EXPECT_EQ(answers, (std::vector<OSErr>(8, 0)));
  // Per file: its base, then half its share; the status shows the output while it is written.
  EXPECT_EQ(host.progress, (std::vector<int>{0, 8191, 16383, 16383 + 8191, 0}));
  EXPECT_EQ(host.statuses, (std::vector<u16>{u"C:\\v\\a.mov", u"", u"C:\\v\\b.mov", u"", u""}));
}

TEST_F(ConverterSteps, PauseWaitsInSteps300MsAndCancelGoesOnWhenAnswered) {
  Ready();
  FakeHost host;
  host.Add(u"C:\\v\\a.avi");
  host.Add(u"C:\\v\\b.avi");
  std::vector<int> sleeps;
  std::vector<uint8_t> statesSeen;
  converter.sleep = [&](int ms) {
    sleeps.push_back(ms);
    statesSeen.push_back(converter.State());
    if (sleeps.size() == 3) converter.Resume();  // the user answers Cancel to the question
  };
  engine.duringConvert = [&](MovieRecord& movie) {
    if (host.paths.size() == 2) {
      EXPECT_TRUE(converter.Pause());  // the question comes up
    }
    return movie.proc(&movie, kProgressUpdatePercent, kProgressOpExportMovie, 0x4000, movie.refcon) == 0
               ? kNoErr : kUserCanceledErr;
  };
  converter.MarkConverting();
  converter.RunBatch(host);
  EXPECT_EQ(sleeps, (std::vector<int>{300, 300, 300}));
  EXPECT_EQ(statesSeen, (std::vector<uint8_t>{3, 3, 3}));
  EXPECT_TRUE(host.paths.empty()) << "the batch went on where it paused";
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(ConverterSteps, CancelInsideTheExportAbortsIt) {
  Ready();
  FakeHost host;
  host.Add(u"C:\\v\\a.avi");
  host.Add(u"C:\\v\\b.avi");
  converter.sleep = [&](int) { converter.Cancel(); };  // OK to the question
  engine.duringConvert = [&](MovieRecord& movie) {
    converter.Pause();
    return movie.proc(&movie, kProgressUpdatePercent, kProgressOpExportMovie, 0x4000, movie.refcon) == 0
               ? kNoErr : kUserCanceledErr;
  };
  converter.MarkConverting();
  converter.RunBatch(host);
  EXPECT_EQ(host.errors, (std::vector<u16>{kTextConvertError}));
  EXPECT_EQ(host.paths.size(), 2u);
  EXPECT_EQ(converter.State(), 0);
}

TEST_F(ConverterSteps, CancelBetweenFilesStopsWithoutAMessage) {
  Ready();
  FakeHost host;
  host.Add(u"C:\\v\\a.avi");
  host.Add(u"C:\\v\\b.avi");
  host.onRemove = [&] {
    converter.Pause();
    converter.Cancel();
  };
  converter.MarkConverting();
  converter.RunBatch(host);
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(host.paths, (std::deque<u16>{u"C:\\v\\b.avi"}));
  EXPECT_EQ(std::count(engine.calls.begin(), engine.calls.end(), "ConvertMovieToFile"), 1);
}

TEST_F(ConverterSteps, AnAnswerAfterTheBatchEndedChangesNothing) {
  EXPECT_FALSE(converter.Pause()) << "idle: nothing to pause";
  converter.MarkConverting();
  EXPECT_TRUE(converter.Pause());
  EXPECT_EQ(converter.State(), 3);
  converter.Cancel();
  EXPECT_EQ(converter.State(), 5);
  EXPECT_TRUE(converter.Pause()) << "asking again while the cancel is on its way";
  converter.Resume();
  EXPECT_EQ(converter.State(), 1);

  converter.MarkConverting();
  converter.Pause();
  Ready();
  FakeHost host;
  converter.RunBatch(host);  // ends while the question is still open
  EXPECT_EQ(converter.State(), 0);
  converter.Cancel();
  EXPECT_EQ(converter.State(), 0) << "the dialog must not look busy for ever";
  converter.Resume();
  EXPECT_EQ(converter.State(), 0);
}
