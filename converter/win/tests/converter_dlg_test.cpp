// The converter's dialogs driven as a user would: the controls and their texts, adding and
// removing files, the output folder rules, the codec and settings dialogs, batches of real
// movies with the cancel question, and the messages of the failures. Message boxes and the
// system's file and folder choosers are answered through the program's seams; its own modal
// dialogs are answered through a CBT hook on this thread.
//
// The batch tests need movies: tests/wine_batch_test.sh writes them with ffmpeg, names their
// folder in CRV_CONVERTER_MEDIA (a Windows path) and checks the results with ffprobe.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <memory>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "converter/messages.h"
#include "converter/win/converter_ui.h"
#include "converter/win/resource.h"

using namespace conv_win;

namespace {

// ---- Answering the program's own modal dialogs

HHOOK g_hook = nullptr;
HWND g_main = nullptr;
std::set<HWND> g_seenDialogs;
std::deque<std::function<void(HWND)>> g_dialogHandlers;
HWND g_pending = nullptr;
std::vector<std::wstring> g_dialogCaptions;

void CALLBACK FireHandler(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND dialog = g_pending;
  g_pending = nullptr;
  wchar_t caption[128] = L"";
  GetWindowTextW(dialog, caption, 128);
  g_dialogCaptions.push_back(caption);
  if (g_dialogHandlers.empty()) {
    ADD_FAILURE() << "an unexpected dialog came up";
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  auto handler = std::move(g_dialogHandlers.front());
  g_dialogHandlers.pop_front();
  handler(dialog);
}

LRESULT CALLBACK WatchDialogs(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE) {
    HWND window = reinterpret_cast<HWND>(wp);
    wchar_t cls[16] = L"";
    GetClassNameW(window, cls, 16);
    if (window != g_main && lstrcmpW(cls, L"#32770") == 0 && g_seenDialogs.insert(window).second) {
      // Answered from the dialog's own message loop, once it is fully up.
      g_pending = window;
      SetTimer(nullptr, 0, 20, FireHandler);
    }
  }
  return CallNextHookEx(g_hook, code, wp, lp);
}

void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void Press(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::wstring Text(HWND window) {
  wchar_t text[600] = L"";
  GetWindowTextW(window, text, 600);
  return text;
}
std::wstring ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

// ---- The seams

struct Box {
  std::wstring text;
  bool noCaption = false;
  UINT type = 0;
  uint8_t stateSeen = 0;
};
std::vector<Box> g_boxes;
std::deque<int> g_answers;  // IDOK when empty
std::function<void()> g_whileAsking;
CConverterDlg* g_dialog = nullptr;

int FakeMessageBox(HWND, const wchar_t* text, const wchar_t* caption, UINT type) {
  Box box{text ? text : L"", caption == nullptr, type, g_dialog ? g_dialog->Core().State() : uint8_t(0)};
  g_boxes.push_back(box);
  if (g_whileAsking && (type & MB_ICONQUESTION)) g_whileAsking();
  if (g_answers.empty()) return IDOK;
  int answer = g_answers.front();
  g_answers.pop_front();
  return answer;
}

std::vector<std::wstring> g_selection;  // what the open dialog returns: folder, then names
OPENFILENAMEW g_openSeen;
std::wstring g_filterSeen;

BOOL WINAPI FakeOpen(OPENFILENAMEW* request) {
  g_openSeen = *request;
  const wchar_t* f = request->lpstrFilter;
  g_filterSeen.clear();
  while (*f) {
    g_filterSeen += f;
    g_filterSeen += L'|';
    f += lstrlenW(f) + 1;
  }
  if (g_selection.empty()) return FALSE;
  std::wstring buffer;
  for (const std::wstring& part : g_selection) buffer += part + L'\0';
  buffer += L'\0';
  if (buffer.size() > request->nMaxFile) return FALSE;
  std::copy(buffer.begin(), buffer.end(), request->lpstrFile);
  return TRUE;
}

std::wstring g_browseAnswer;  // empty: the user cancels
int g_browseCalls = 0;
BROWSEINFOW g_browseSeen;
std::wstring g_browseStart;  // the folder the browser is to preselect
bool g_browseRootIsComputer = false;

PIDLIST_ABSOLUTE WINAPI FakeBrowse(BROWSEINFOW* request) {
  ++g_browseCalls;
  g_browseSeen = *request;
  g_browseStart = request->lParam ? reinterpret_cast<const wchar_t*>(request->lParam) : L"";
  PIDLIST_ABSOLUTE computer = nullptr;
  SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer);
  g_browseRootIsComputer = computer && request->pidlRoot && ILIsEqual(computer, request->pidlRoot);
  CoTaskMemFree(computer);
  if (g_browseAnswer.empty()) return nullptr;
  return ILCreateFromPathW(g_browseAnswer.c_str());
}

// Records what the batch sets the progress bar to.
WNDPROC g_progressProc = nullptr;
std::vector<int> g_positions;
int g_rangeMax = -1;
LRESULT CALLBACK RecordProgress(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == PBM_SETPOS) g_positions.push_back(static_cast<int>(wp));
  if (msg == PBM_SETRANGE) g_rangeMax = HIWORD(lp);
  return CallWindowProcW(g_progressProc, window, msg, wp, lp);
}

std::wstring MediaFolder() {
  wchar_t value[MAX_PATH] = L"";
  DWORD n = GetEnvironmentVariableW(L"CRV_CONVERTER_MEDIA", value, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::wstring();
  std::wstring folder = value;
  if (folder.back() != L'\\') folder += L'\\';
  return folder;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ConverterDialog : public ::testing::Test {
 protected:
  std::unique_ptr<CConverterDlg> dialog;
  HWND hwnd = nullptr;
  std::wstring temp;

  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HINSTANCE self = GetModuleHandleW(nullptr);
    dialog = std::make_unique<CConverterDlg>(self, LoadPreset(self, IDR_PRESET_H263),
                                             LoadPreset(self, IDR_PRESET_SORENSON3));
    g_dialog = dialog.get();
    Seams().messageBox = FakeMessageBox;
    Seams().getOpenFileName = FakeOpen;
    Seams().browseForFolder = FakeBrowse;
    g_boxes.clear();
    g_answers.clear();
    g_whileAsking = nullptr;
    g_selection.clear();
    g_browseAnswer.clear();
    g_browseCalls = 0;
    g_dialogHandlers.clear();
    g_dialogCaptions.clear();
    g_positions.clear();
    hwnd = dialog->Create(nullptr);
    ASSERT_NE(hwnd, nullptr);
    g_main = hwnd;
    g_hook = SetWindowsHookExW(WH_CBT, WatchDialogs, nullptr, GetCurrentThreadId());
    g_progressProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        GetDlgItem(hwnd, IDC_PROGRESS), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordProgress)));

    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    temp = std::wstring(base) + L"crv-conv-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(temp.c_str(), nullptr);
  }

  void TearDown() override {
    if (g_hook) UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    EXPECT_TRUE(g_dialogHandlers.empty()) << "a dialog that was to come up did not";
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    dialog.reset();
    g_dialog = nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(temp), ignored);
  }

  void Pump(const std::function<bool()>& done, DWORD timeoutMs = 120000) {
    DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < timeoutMs) {
      MSG msg;
      if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsWindow(hwnd) || !IsDialogMessageW(hwnd, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
      } else {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      }
    }
  }

  std::vector<std::wstring> Rows(int id) {
    std::vector<std::wstring> rows;
    LRESULT n = SendDlgItemMessageW(hwnd, id, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; ++i) {
      wchar_t text[1024] = L"";
      SendDlgItemMessageW(hwnd, id, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      rows.push_back(text);
    }
    return rows;
  }

  void Add(const std::vector<std::wstring>& selection) {
    g_selection = selection;
    Press(hwnd, IDC_ADD);
  }

  // Convert All, choosing `codec` (a radio of the codec dialog) when it comes up.
  void ConvertAll(int codecRadio, std::function<void(HWND)> settings = nullptr) {
    g_dialogHandlers.push_back([codecRadio](HWND codec) {
      Click(codec, codecRadio);
      Press(codec, IDOK);
    });
    if (settings) g_dialogHandlers.push_back(settings);
    Press(hwnd, IDC_CONVERT_ALL);
  }

  void WaitForBatch() {
    Pump([&] { return !dialog->WorkerRunning() && dialog->Core().State() == 0; });
    ASSERT_FALSE(dialog->WorkerRunning());
  }

  void UseOutputFolder(const std::wstring& folder) {
    dialog->Core().sameFolder = folder.empty();
    dialog->Core().outputFolder = U(folder.c_str());
  }

  void ExpectIdleButtons() {
    for (int id : {IDC_ADD, IDC_REMOVE, IDC_OUTPUT_FOLDER, IDC_CONVERT_ALL})
      EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, id))) << id;
    EXPECT_EQ(ItemText(hwnd, IDCANCEL), L"E&xit");
    EXPECT_EQ(ItemText(hwnd, IDC_STATUS), L"");
    EXPECT_EQ(SendDlgItemMessageW(hwnd, IDC_PROGRESS, PBM_GETPOS, 0, 0), 0);
  }
};

}  // namespace

TEST_F(ConverterDialog, HasEveryControlWithItsTextAndId) {
  EXPECT_EQ(Text(hwnd), L"Corvane Movie Converter");
  struct Expected {
    int id;
    const wchar_t* cls;
    const wchar_t* text;
  };
  for (const Expected& e : {Expected{IDC_ADD, L"Button", L"&Add"}, Expected{IDC_REMOVE, L"Button", L"&Remove"},
                            Expected{IDC_FILE_NAMES, L"ListBox", L""}, Expected{IDC_FILE_PATHS, L"ListBox", L""},
                            Expected{IDC_OUTPUT_FOLDER, L"Button", L"&Output Folder"},
                            Expected{IDC_CONVERT_ALL, L"Button", L"&Convert All"},
                            Expected{IDCANCEL, L"Button", L"E&xit"}, Expected{IDC_STATUS, L"Static", L""},
                            Expected{IDC_PROGRESS, PROGRESS_CLASSW, L""}}) {
    HWND control = GetDlgItem(hwnd, e.id);
    ASSERT_NE(control, nullptr) << e.id;
    wchar_t cls[64] = L"";
    GetClassNameW(control, cls, 64);
    EXPECT_EQ(lstrcmpiW(cls, e.cls), 0) << e.id << " is a " << cls;
    EXPECT_EQ(Text(control), e.text) << e.id;
  }
  LONG_PTR names = GetWindowLongPtrW(GetDlgItem(hwnd, IDC_FILE_NAMES), GWL_STYLE);
  LONG_PTR paths = GetWindowLongPtrW(GetDlgItem(hwnd, IDC_FILE_PATHS), GWL_STYLE);
  EXPECT_TRUE(names & LBS_EXTENDEDSEL);
  EXPECT_FALSE(names & LBS_SORT) << "rows keep the order they were added in";
  EXPECT_FALSE(paths & LBS_SORT);
  EXPECT_TRUE(paths & LBS_NOSEL);
  EXPECT_FALSE(paths & WS_VISIBLE) << "the full paths are hidden";
  EXPECT_TRUE(names & WS_VISIBLE);

  HMENU system = GetSystemMenu(hwnd, FALSE);
  int count = GetMenuItemCount(system);
  ASSERT_GE(count, 2);
  EXPECT_EQ(GetMenuItemID(system, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
  wchar_t item[64] = L"";
  GetMenuStringW(system, count - 1, item, 64, MF_BYPOSITION);
  EXPECT_STREQ(item, L"&About Converter...");
  EXPECT_TRUE(GetMenuState(system, count - 2, MF_BYPOSITION) & MF_SEPARATOR);

  g_dialogHandlers.push_back([](HWND about) { Press(about, IDOK); });
  SendMessageW(hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  ASSERT_EQ(g_dialogCaptions.size(), 1u);
  EXPECT_EQ(g_dialogCaptions[0], L"About Converter");
}

TEST(ConverterResources, PresetsAreStoredByteForByte) {
  HINSTANCE self = GetModuleHandleW(nullptr);
  // The source tree as Wine shows it: the Linux root is drive Z:.
  std::wstring folder = L"Z:" + std::wstring(W(conv::FromUtf8(CRV_CONVERTER_PRESETS)));
  std::replace(folder.begin(), folder.end(), L'/', L'\\');
  struct Expected {
    int id;
    const wchar_t* file;
    uint32_t codec;
  };
  for (const Expected& e : {Expected{IDR_PRESET_H263, L"\\h263.qtac", conv::kCodecH263},
                            Expected{IDR_PRESET_SORENSON3, L"\\sorenson3.qtac", conv::kCodecSorenson3}}) {
    conv::Bytes stored = LoadPreset(self, e.id);
    std::string file = ReadAll(folder + e.file);
    ASSERT_FALSE(file.empty()) << e.id;
    EXPECT_EQ(std::string(stored.begin(), stored.end()), file) << e.id;
    conv::Atom root;
    ASSERT_TRUE(conv::ParseAtomContainer(stored, &root));
    conv::ExportSettings settings;
    ASSERT_TRUE(conv::ReadExportSettings(root, &settings));
    EXPECT_EQ(settings.videoCodec, e.codec);
    EXPECT_EQ(settings.soundFormat, conv::kSoundIma4);
  }
  HRSRC typed = FindResourceW(self, MAKEINTRESOURCEW(IDR_PRESET_H263), L"B");
  EXPECT_NE(typed, nullptr) << "resource type \"B\", id 133";
}

TEST_F(ConverterDialog, AddingKeepsOneEntryPerFileAndBothListsInStep) {
  std::wstring folder = temp.substr(0, temp.size() - 1);  // without its backslash
  for (const wchar_t* name : {L"a.mov", L"b.avi", L"c.avi"}) std::ofstream((temp + name).c_str()) << "x";
  CreateDirectoryW((temp + L"sub").c_str(), nullptr);
  Add({folder, L"a.mov", L"b.avi", L"sub"});
  EXPECT_EQ(g_filterSeen, L"QuickTime Movies (*.mov)|*.mov|AVI Files (*.avi)|*.avi|All Files (*.*)|*.*|");
  EXPECT_EQ(g_openSeen.nMaxFile, 10000u);
  DWORD flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_LONGNAMES | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                OFN_HIDEREADONLY | OFN_NONETWORKBUTTON;
  EXPECT_EQ(g_openSeen.Flags & flags, flags);
  EXPECT_EQ(Rows(IDC_FILE_NAMES), (std::vector<std::wstring>{L"a.mov", L"b.avi"})) << "a folder is no movie";
  EXPECT_EQ(Rows(IDC_FILE_PATHS), (std::vector<std::wstring>{temp + L"a.mov", temp + L"b.avi"}));

  Add({temp + L"A.MOV"});  // the same file once more, one path as the dialog gives it
  Add({folder, L"c.avi", L"b.avi"});
  EXPECT_EQ(Rows(IDC_FILE_NAMES), (std::vector<std::wstring>{L"a.mov", L"b.avi", L"c.avi"}));
  EXPECT_EQ(Rows(IDC_FILE_PATHS), (std::vector<std::wstring>{temp + L"a.mov", temp + L"b.avi", temp + L"c.avi"}));
  g_selection.clear();
  Press(hwnd, IDC_ADD);  // the open dialog cancelled
  EXPECT_EQ(Rows(IDC_FILE_NAMES).size(), 3u);

  SendDlgItemMessageW(hwnd, IDC_FILE_NAMES, LB_SETSEL, TRUE, 0);
  SendDlgItemMessageW(hwnd, IDC_FILE_NAMES, LB_SETSEL, TRUE, 2);
  Press(hwnd, IDC_REMOVE);
  EXPECT_EQ(Rows(IDC_FILE_NAMES), (std::vector<std::wstring>{L"b.avi"}));
  EXPECT_EQ(Rows(IDC_FILE_PATHS), (std::vector<std::wstring>{temp + L"b.avi"}));
}

TEST_F(ConverterDialog, OutputFolderRadioRules) {
  std::wstring chosen = temp.substr(0, temp.size() - 1);
  g_browseAnswer = chosen;
  g_dialogHandlers.push_back([&](HWND box) {
    EXPECT_EQ(Text(box), L"Output folder");
    EXPECT_EQ(ItemText(box, IDC_SAME_FOLDER), L"Same &original folder (default)");
    EXPECT_EQ(ItemText(box, IDC_OTHER_FOLDER), L"Specify another &folder:");
    EXPECT_EQ(ItemText(box, IDC_BROWSE), L"&Browse");
    EXPECT_EQ(IsDlgButtonChecked(box, IDC_SAME_FOLDER), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(box, IDC_FOLDER_EDIT)));
    Click(box, IDC_OTHER_FOLDER);
    EXPECT_EQ(g_browseCalls, 1) << "an empty folder opens the browser at once";
    EXPECT_TRUE(g_browseRootIsComputer);
    EXPECT_TRUE(g_browseSeen.ulFlags & BIF_RETURNONLYFSDIRS);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(box, IDC_FOLDER_EDIT)));
    EXPECT_EQ(ItemText(box, IDC_FOLDER_EDIT), chosen);
    Click(box, IDC_BROWSE);
    EXPECT_EQ(g_browseCalls, 2);
    EXPECT_EQ(g_browseStart, chosen) << "the browser starts there";
    Press(box, IDOK);
  });
  Press(hwnd, IDC_OUTPUT_FOLDER);
  EXPECT_FALSE(dialog->Core().sameFolder);
  EXPECT_EQ(dialog->Core().outputFolder, U(chosen.c_str()));

  g_browseAnswer.clear();
  g_dialogHandlers.push_back([&](HWND box) {
    EXPECT_EQ(IsDlgButtonChecked(box, IDC_OTHER_FOLDER), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(box, IDC_FOLDER_EDIT)));
    EXPECT_EQ(ItemText(box, IDC_FOLDER_EDIT), chosen);
    SetDlgItemTextW(box, IDC_FOLDER_EDIT, L"");
    int before = g_browseCalls;
    Press(box, IDOK);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, W(conv::kTextNoFolder));
    EXPECT_TRUE(g_boxes[0].type & MB_ICONEXCLAMATION);
    EXPECT_EQ(g_browseCalls, before + 1) << "then the browser opens";
    EXPECT_TRUE(IsWindow(box)) << "the dialog stays";
    Click(box, IDC_SAME_FOLDER);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(box, IDC_FOLDER_EDIT)));
    Press(box, IDOK);
  });
  Press(hwnd, IDC_OUTPUT_FOLDER);
  EXPECT_TRUE(dialog->Core().sameFolder);

  g_dialogHandlers.push_back([](HWND box) { Press(box, IDCANCEL); });
  dialog->Core().outputFolder = u"X:\\kept";
  Press(hwnd, IDC_OUTPUT_FOLDER);
  EXPECT_EQ(dialog->Core().outputFolder, u"X:\\kept") << "Cancel changes nothing";
}

TEST_F(ConverterDialog, ExitAsksFirst) {
  g_answers = {IDCANCEL};
  Press(hwnd, IDCANCEL);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, W(conv::kTextExitQuestion));
  EXPECT_EQ(g_boxes[0].type & (MB_ICONMASK | MB_TYPEMASK), static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION));
  EXPECT_TRUE(IsWindow(hwnd));
  SendMessageW(hwnd, WM_CLOSE, 0, 0);  // OK this time
  EXPECT_EQ(g_boxes.size(), 2u);
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(ConverterDialog, ConvertAllWithAnEmptyListDoesNothing) {
  Press(hwnd, IDC_CONVERT_ALL);
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_EQ(dialog->Core().Level(), 0) << "nothing was started";
}

TEST_F(ConverterDialog, CancellingTheCustomSettingsStartsNothing) {
  std::ofstream((temp + L"a.avi").c_str()) << "x";
  Add({temp + L"a.avi"});
  g_dialogHandlers.push_back([](HWND codec) {
    EXPECT_EQ(Text(codec), L"Codec Select");
    EXPECT_EQ(ItemText(codec, IDC_SORENSON3), L"&Sorenson 3");
    EXPECT_EQ(ItemText(codec, IDC_H263), L"&H.263");
    EXPECT_EQ(ItemText(codec, IDC_CUSTOM), L"&Custom");
    EXPECT_EQ(IsDlgButtonChecked(codec, IDC_SORENSON3), BST_CHECKED) << "the first choice is Sorenson 3";
    Click(codec, IDC_CUSTOM);
    Press(codec, IDOK);
  });
  g_dialogHandlers.push_back([](HWND settings) {
    EXPECT_EQ(Text(settings), L"Movie Settings");
    EXPECT_EQ(SendDlgItemMessageW(settings, IDC_VIDEO_CODEC, CB_GETCURSEL, 0, 0), 0) << "from the H.263 preset";
    Press(settings, IDCANCEL);
  });
  Press(hwnd, IDC_CONVERT_ALL);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, W(conv::kTextPrepareFailed));
  EXPECT_TRUE(g_boxes[0].type & MB_ICONERROR);
  EXPECT_EQ(dialog->Core().State(), 0);
  EXPECT_FALSE(dialog->WorkerRunning());
  EXPECT_FALSE(dialog->Core().HasSavedSettings());
  EXPECT_EQ(dialog->Core().codecChoice, conv::kChoiceCustom);
  EXPECT_EQ(Rows(IDC_FILE_NAMES).size(), 1u);
  ExpectIdleButtons();

  // The codec dialog shows the choice made last; Cancel there ends Convert All quietly.
  g_dialogHandlers.push_back([](HWND codec) {
    EXPECT_EQ(IsDlgButtonChecked(codec, IDC_CUSTOM), BST_CHECKED);
    Press(codec, IDCANCEL);
  });
  Press(hwnd, IDC_CONVERT_ALL);
  EXPECT_EQ(g_boxes.size(), 1u);
}

TEST_F(ConverterDialog, ABadNameStopsTheBatchAndStaysListed) {
  std::wstring longName = temp + std::wstring(255 - temp.size() - 4, L'n') + L".avi";
  ASSERT_EQ(longName.size(), 255u);
  Add({longName});
  ASSERT_EQ(Rows(IDC_FILE_PATHS), (std::vector<std::wstring>{longName}));
  ConvertAll(IDC_H263);
  WaitForBatch();
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, L"Wrong file name.\rTry to rename it and convert again.");
  EXPECT_TRUE(g_boxes[0].noCaption);
  EXPECT_TRUE(g_boxes[0].type & MB_ICONERROR);
  EXPECT_EQ(Rows(IDC_FILE_PATHS), (std::vector<std::wstring>{longName}));
  ExpectIdleButtons();
}

// ---- Batches of real movies (tests/wine_batch_test.sh)

class ConverterBatch : public ConverterDialog {
 protected:
  std::wstring media;
  void SetUp() override {
    media = MediaFolder();
    if (media.empty()) GTEST_SKIP() << "CRV_CONVERTER_MEDIA names no folder of test movies";
    ConverterDialog::SetUp();
  }
  std::wstring Out(const wchar_t* name) {
    std::wstring folder = media + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
  }
};

TEST_F(ConverterBatch, ThreeMoviesWithEachPreset) {
  std::vector<std::wstring> sources = {media, L"clip.avi", L"clip.mov", L"clip.mp4"};
  Add(sources);
  ASSERT_EQ(Rows(IDC_FILE_NAMES).size(), 3u);
  UseOutputFolder(Out(L"h263"));
  ConvertAll(IDC_H263);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDC_CONVERT_ALL)));
  EXPECT_EQ(ItemText(hwnd, IDCANCEL), L"&Cancel");
  WaitForBatch();
  EXPECT_TRUE(g_boxes.empty()) << (g_boxes.empty() ? "" : conv::ToUtf8(U(g_boxes[0].text.c_str())));
  EXPECT_TRUE(Rows(IDC_FILE_NAMES).empty());
  EXPECT_TRUE(Rows(IDC_FILE_PATHS).empty());
  EXPECT_EQ(g_rangeMax, 32766);
  ASSERT_FALSE(g_positions.empty());
  auto seen = [&](int p) { return std::find(g_positions.begin(), g_positions.end(), p) != g_positions.end(); };
  EXPECT_TRUE(seen(0) && seen(10922) && seen(21844)) << "each file starts at its own base";
  EXPECT_EQ(g_positions.back(), 0);
  ExpectIdleButtons();
  for (const wchar_t* name : {L"h263\\clip.mov", L"h263\\clip(1).mov", L"h263\\clip(2).mov"})
    EXPECT_TRUE(Exists(media + name)) << conv::ToUtf8(U(name));

  Add(sources);
  UseOutputFolder(Out(L"sorenson"));
  ConvertAll(IDC_SORENSON3);
  WaitForBatch();
  EXPECT_TRUE(g_boxes.empty());
  for (const wchar_t* name : {L"sorenson\\clip.mov", L"sorenson\\clip(1).mov", L"sorenson\\clip(2).mov"})
    EXPECT_TRUE(Exists(media + name));

  // Custom, Sorenson Video chosen in the exporter's dialog.
  Add({media + L"clip.avi"});
  UseOutputFolder(Out(L"custom"));
  ConvertAll(IDC_CUSTOM, [](HWND settings) {
    SendDlgItemMessageW(settings, IDC_VIDEO_CODEC, CB_SETCURSEL, 1, 0);
    Press(settings, IDOK);
  });
  WaitForBatch();
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_TRUE(Exists(media + L"custom\\clip.mov"));
}

TEST_F(ConverterBatch, IntoItsOwnFolderNextToTheSource) {
  std::wstring own = Out(L"own") + L"\\";
  ASSERT_TRUE(CopyFileW((media + L"clip.mov").c_str(), (own + L"movie.mov").c_str(), FALSE));
  std::string before = ReadAll(own + L"movie.mov");
  Add({own + L"movie.mov"});
  ConvertAll(IDC_H263);
  WaitForBatch();
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_TRUE(Exists(own + L"movie(1).mov"));
  EXPECT_EQ(ReadAll(own + L"movie.mov"), before) << "the source is never touched";

  for (int i = 2; i < 1000; ++i) std::ofstream((own + L"movie(" + std::to_wstring(i) + L").mov").c_str()) << "";
  Add({own + L"movie.mov"});
  ConvertAll(IDC_H263);
  WaitForBatch();
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, L"Error converting file");
  EXPECT_EQ(Rows(IDC_FILE_NAMES), (std::vector<std::wstring>{L"movie.mov"}));
  EXPECT_EQ(ReadAll(own + L"movie.mov"), before);
}

TEST_F(ConverterBatch, FailuresStopTheBatchAndLeaveTheRestListed) {
  const std::wstring componentsText = W(conv::kTextOpenComponentsMissing);
  struct Case {
    const wchar_t* file;
    std::wstring message;
  };
  for (const Case& c : {Case{L"notes.avi", componentsText}, Case{L"cut.avi", L"Error converting file"}}) {
    SendDlgItemMessageW(hwnd, IDC_FILE_NAMES, LB_RESETCONTENT, 0, 0);
    SendDlgItemMessageW(hwnd, IDC_FILE_PATHS, LB_RESETCONTENT, 0, 0);
    g_boxes.clear();
    UseOutputFolder(Out(L"failures"));
    Add({media, L"tiny.avi", c.file, L"clip.mov"});
    ConvertAll(IDC_H263);
    WaitForBatch();
    ASSERT_EQ(g_boxes.size(), 1u) << conv::ToUtf8(U(c.file));
    EXPECT_EQ(g_boxes[0].text, c.message);
    EXPECT_TRUE(g_boxes[0].type & MB_ICONERROR);
    EXPECT_EQ(Rows(IDC_FILE_NAMES), (std::vector<std::wstring>{c.file, L"clip.mov"}))
        << "the file that failed and those after it stay";
    ExpectIdleButtons();
  }
  // An output folder that cannot be written.
  SendDlgItemMessageW(hwnd, IDC_FILE_NAMES, LB_RESETCONTENT, 0, 0);
  SendDlgItemMessageW(hwnd, IDC_FILE_PATHS, LB_RESETCONTENT, 0, 0);
  g_boxes.clear();
  UseOutputFolder(media + L"no\\such\\folder");
  Add({media, L"tiny.avi"});
  ConvertAll(IDC_H263);
  WaitForBatch();
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, L"Error converting file");
  EXPECT_EQ(Rows(IDC_FILE_NAMES), (std::vector<std::wstring>{L"tiny.avi"}));
}

TEST_F(ConverterBatch, TheCancelQuestionPausesAndCancelGoesOn) {
  Add({media, L"long.avi", L"clip.avi", L"tiny.avi"});
  UseOutputFolder(Out(L"paused"));
  LRESULT positionAsked = -1, positionLater = -1;
  g_whileAsking = [&] {
    // While the question is open the batch stands still.
    positionAsked = SendDlgItemMessageW(hwnd, IDC_PROGRESS, PBM_GETPOS, 0, 0);
    Sleep(900);
    positionLater = SendDlgItemMessageW(hwnd, IDC_PROGRESS, PBM_GETPOS, 0, 0);
  };
  g_answers = {IDCANCEL};
  ConvertAll(IDC_H263);
  Pump([] { return !g_positions.empty() && g_positions.back() > 0; }, 30000);
  Press(hwnd, IDCANCEL);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, W(conv::kTextCancelQuestion));
  EXPECT_TRUE(g_boxes[0].type & MB_ICONQUESTION);
  EXPECT_EQ(g_boxes[0].stateSeen, 3) << "paused while asking";
  EXPECT_EQ(positionAsked, positionLater);
  EXPECT_EQ(dialog->Core().State(), 1) << "Cancel lets the batch go on";
  WaitForBatch();
  EXPECT_EQ(g_boxes.size(), 1u);
  EXPECT_TRUE(Rows(IDC_FILE_NAMES).empty()) << "every file was converted";

  // OK cancels: the file being converted and those after it stay in the list.
  g_boxes.clear();
  g_whileAsking = nullptr;
  Add({media, L"long.avi", L"clip.avi"});
  ConvertAll(IDC_H263);
  Pump([] { return !g_positions.empty() && g_positions.back() > 0; }, 30000);
  Press(hwnd, IDCANCEL);
  EXPECT_EQ(dialog->Core().State() & 4, 4);
  WaitForBatch();
  ASSERT_GE(g_boxes.size(), 1u);
  if (g_boxes.size() == 2) {
    EXPECT_EQ(g_boxes[1].text, L"Error converting file") << "the export was aborted";
  }
  EXPECT_EQ(Rows(IDC_FILE_NAMES), (std::vector<std::wstring>{L"long.avi", L"clip.avi"}));
  EXPECT_FALSE(Exists(media + L"paused\\long(1).mov")) << "an aborted export leaves no file";
  ExpectIdleButtons();
}
