#include "player/library/library_update_dlg.h"

#include <commctrl.h>
#include <shlobj.h>

#include "platform/shell/aygshell.h"
#include "player/base/win16.h"
#include "player/library/media_tags.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

// The worker's news, posted (never sent: "Cancel" waits for the worker on the dialog's
// thread, which must not be waited for in return). One message at a time is waiting for each
// kind; the dialog shows the latest state when it comes.
constexpr UINT kMsgTexts = WM_APP + 1;  // the counter or the phase changed
constexpr UINT kMsgBar = WM_APP + 2;    // the bar's range or position changed
constexpr UINT kMsgWorkEnded = WM_APP + 3;
constexpr WPARAM kScreenTurned = 12290;  // the shell's setting change for a turned screen

// The shell's system folder as a device path: its drive, when it has one, is the device's.
u16 WindowsFolder() {
  wchar_t path[MAX_PATH] = L"";
  if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_WINDOWS, FALSE) || !path[0]) return u"\\Windows";
  u16 folder = U(path);
  if (folder.size() >= 2 && folder[1] == u':') folder.erase(0, 2);
  return folder.empty() ? u16(u"\\Windows") : folder;
}

}  // namespace

class CMediaLibraryUpdateDlg::Progress : public LibraryUpdate::Progress {
 public:
  explicit Progress(CMediaLibraryUpdateDlg& dialog) : dialog_(dialog) {}
  void StartBar(int count) override {
    dialog_.bar_range_.store(count);
    dialog_.bar_position_.store(0);
    Tell(dialog_.bar_pending_, kMsgBar);
  }
  void StepBar() override {
    ++dialog_.bar_position_;
    Tell(dialog_.bar_pending_, kMsgBar);
  }
  void ShowCounter(const u16& text) override {
    Show(dialog_.counter_, text);
    dialog_.OnCounterShown(text);
  }
  void ShowPhase(const u16& text) override { Show(dialog_.phase_, text); }

 private:
  void Show(u16& field, const u16& text) {
    EnterCriticalSection(&dialog_.lock_);
    field = text;
    LeaveCriticalSection(&dialog_.lock_);
    Tell(dialog_.texts_pending_, kMsgTexts);
  }
  void Tell(std::atomic<bool>& pending, UINT message) {
    if (!pending.exchange(true)) PostMessageW(dialog_.window_, message, 0, 0);
  }
  CMediaLibraryUpdateDlg& dialog_;
};

CMediaLibraryUpdateDlg::CMediaLibraryUpdateDlg(HWND parent, HINSTANCE instance, const u16& program_folder)
    : ApiDialog(PickTemplate(IDD_LIBRARY_UPDATE_PORTRAIT, IDD_LIBRARY_UPDATE_LANDSCAPE, IDD_LIBRARY_UPDATE_SQUARE),
                parent, instance),
      program_folder_(program_folder),
      windows_folder_(WindowsFolder()) {
  InitializeCriticalSection(&lock_);
}

CMediaLibraryUpdateDlg::~CMediaLibraryUpdateDlg() {
  StopWork();
  DeleteCriticalSection(&lock_);
}

void CMediaLibraryUpdateDlg::SetSearch(const u16& root, const u16& windows_folder) {
  root_ = root;
  windows_folder_ = windows_folder;
}

BOOL CMediaLibraryUpdateDlg::OnInitDialog() {
  ApiDialog::OnInitDialog();
  InitDialogFullScreen(window_, 0);
  menuBar_ = CreateDialogMenuBar(window_, instance_, IDR_LIBRARY_UPDATE_MENU);
  SetDlgItemTextW(window_, IDC_LIBRARY_UPDATE_COUNTER, L"");
  SetDlgItemTextW(window_, IDC_LIBRARY_UPDATE_PHASE, L"");
  ShowWindow(GetDlgItem(window_, IDC_LIBRARY_UPDATE_PROGRESS), SW_HIDE);
  // "Search" stays on the bar for the shape of the keys; the update searches by itself.
  if (menuBar_) SendMessageW(menuBar_, TB_ENABLEBUTTON, ID_LIBRARY_UPDATE_SEARCH, FALSE);
  PlaceControls();
  library_.Load(program_folder_);
  progress_ = std::make_unique<Progress>(*this);
  update_ = std::make_unique<LibraryUpdate>(library_, windows_folder_, *progress_, ReadTagsInto);
  if (!worker_.Start(&CMediaLibraryUpdateDlg::Work, this, THREAD_PRIORITY_NORMAL)) OnWorkEnded();
  return TRUE;
}

DWORD CMediaLibraryUpdateDlg::Work(WorkerThread*, void* self) {
  auto* dialog = static_cast<CMediaLibraryUpdateDlg*>(self);
  dialog->update_->Run(dialog->root_);
  PostMessageW(dialog->window_, kMsgWorkEnded, 0, 0);
  return 0;
}

void CMediaLibraryUpdateDlg::OnTexts() {
  texts_pending_.store(false);
  EnterCriticalSection(&lock_);
  const u16 counter = counter_, phase = phase_;
  LeaveCriticalSection(&lock_);
  // Only what changed is set again: a static control repaints (and flickers) on every set.
  if (counter != shownCounter_) SetDlgItemTextW(window_, IDC_LIBRARY_UPDATE_COUNTER, W(counter.c_str()));
  if (phase != shownPhase_) SetDlgItemTextW(window_, IDC_LIBRARY_UPDATE_PHASE, W(phase.c_str()));
  shownCounter_ = counter;
  shownPhase_ = phase;
}

// The bar appears with the work's first range.
void CMediaLibraryUpdateDlg::OnBar() {
  bar_pending_.store(false);
  HWND bar = GetDlgItem(window_, IDC_LIBRARY_UPDATE_PROGRESS);
  ShowWindow(bar, SW_SHOW);
  SendMessageW(bar, PBM_SETRANGE32, 0, bar_range_.load());
  SendMessageW(bar, PBM_SETPOS, bar_position_.load(), 0);
}

// The work ran to its end: the right key becomes "Done".
void CMediaLibraryUpdateDlg::OnWorkEnded() {
  if (ended_ || !update_ || update_->Cancelled()) return;
  ended_ = true;
  SetCancelKeyToDone();
}

void CMediaLibraryUpdateDlg::SetCancelKeyToDone() {
  if (!menuBar_) return;
  TBBUTTONINFOW info{sizeof info};
  info.dwMask = TBIF_TEXT | TBIF_COMMAND;
  info.pszText = const_cast<wchar_t*>(L"Done");
  info.idCommand = IDOK;
  SendMessageW(menuBar_, TB_SETBUTTONINFOW, IDCANCEL, reinterpret_cast<LPARAM>(&info));
}

void CMediaLibraryUpdateDlg::StopWork() {
  if (update_) update_->Cancel();
  worker_.Stop();
}

void CMediaLibraryUpdateDlg::OnCancel() {
  StopWork();
  EndDialog(IDCANCEL);
}

void CMediaLibraryUpdateDlg::OnDone() {
  if (!ended_) return;  // only once the work has ended
  library_.Save(program_folder_);
  EndDialog(IDOK);
}

BOOL CMediaLibraryUpdateDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDCANCEL: OnCancel(); return TRUE;
    case IDOK: OnDone(); return TRUE;
    case ID_LIBRARY_UPDATE_SEARCH: return TRUE;
  }
  return ApiDialog::OnCommand(wParam, lParam);
}

// The three lines keep their places from the top and take the width of the screen.
void CMediaLibraryUpdateDlg::PlaceControls() {
  RECT client;
  GetClientRect(window_, &client);
  for (int id : {IDC_LIBRARY_UPDATE_PHASE, IDC_LIBRARY_UPDATE_PROGRESS, IDC_LIBRARY_UPDATE_COUNTER}) {
    HWND control = GetDlgItem(window_, id);
    if (!control) continue;
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    const int margin = r.left > 0 ? r.left : 0;
    MoveWindow(control, margin, r.top, client.right - 2 * margin, r.bottom - r.top, TRUE);
  }
}

LRESULT CMediaLibraryUpdateDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kMsgTexts: OnTexts(); return 0;
    case kMsgBar: OnBar(); return 0;
    case kMsgWorkEnded: OnWorkEnded(); return 0;
    case WM_SETTINGCHANGE:
      if (wParam == kScreenTurned) {
        templateId_ = static_cast<WORD>(
            PickTemplate(IDD_LIBRARY_UPDATE_PORTRAIT, IDD_LIBRARY_UPDATE_LANDSCAPE, IDD_LIBRARY_UPDATE_SQUARE));
        InitDialogFullScreen(window_, 0);
        FitDialogAboveMenuBar(window_, menuBar_);
      }
      break;
    case WM_SIZE: PlaceControls(); break;
    case WM_DESTROY:
      if (menuBar_) DestroyWindow(menuBar_);
      menuBar_ = nullptr;
      break;
  }
  return ApiDialog::WindowProc(message, wParam, lParam);
}

}  // namespace crv
