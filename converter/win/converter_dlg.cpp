#include "converter/win/converter_ui.h"

#include <commctrl.h>

#include <vector>

#include "converter/file_list.h"
#include "converter/messages.h"
#include "converter/win/resource.h"

namespace conv_win {
namespace {

constexpr wchar_t kTitle[] = L"Corvane Movie Converter";
constexpr DWORD kOpenBufferChars = 10000;
constexpr wchar_t kFilter[] =
    L"QuickTime Movies (*.mov)\0*.mov\0AVI Files (*.avi)\0*.avi\0All Files (*.*)\0*.*\0";
constexpr DWORD kVolumeLabel = 0x8;  // the old attribute of a volume label entry

int Ask(HWND owner, const wchar_t* text) { return Seams().messageBox(owner, text, kTitle, MB_OKCANCEL | MB_ICONQUESTION); }

std::wstring ListText(HWND list, int index) {
  LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  LRESULT got = SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
  return text;
}

}  // namespace

UiSeams& Seams() {
  static UiSeams seams;
  return seams;
}

const wchar_t* W(const conv::u16& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
conv::u16 U(const wchar_t* text) { return conv::u16(reinterpret_cast<const char16_t*>(text)); }

conv::Bytes LoadPreset(HINSTANCE instance, int id) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), L"B");
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!bytes) return conv::Bytes();
  return conv::Bytes(bytes, bytes + SizeofResource(instance, found));
}

CConverterDlg::CConverterDlg(HINSTANCE instance, conv::Bytes h263Preset, conv::Bytes sorensonPreset)
    : instance_(instance), core_(engine_, std::move(h263Preset), std::move(sorensonPreset)) {
  engine_.SetSettingsDialog([this](conv::ExportSettings& settings) {
    HWND owner = hwnd_ && IsWindow(hwnd_) ? hwnd_ : nullptr;
    return RunExportSettingsDialog(owner, settings);
  });
}

CConverterDlg::~CConverterDlg() {
  if (worker_) {
    // The dialog only closes while idle; this is the last word should a window be torn down
    // some other way: cancel the batch and let it finish.
    core_.Pause();
    core_.Cancel();
    WaitForSingleObject(worker_, INFINITE);
    CloseHandle(worker_);
  }
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

INT_PTR CConverterDlg::DoModal() {
  modal_ = true;
  return DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_CONVERTER), nullptr, Proc, reinterpret_cast<LPARAM>(this));
}

HWND CConverterDlg::Create(HWND owner) {
  modal_ = false;
  return CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_CONVERTER), owner, Proc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CConverterDlg::Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CConverterDlg*>(lp);
    SetWindowLongPtrW(dlg, DWLP_USER, lp);
    self->hwnd_ = dlg;
  }
  auto* self = reinterpret_cast<CConverterDlg*>(GetWindowLongPtrW(dlg, DWLP_USER));
  if (!self) return FALSE;
  INT_PTR handled = self->Handle(msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(dlg, DWLP_USER, 0);
    self->hwnd_ = nullptr;
  }
  return handled;
}

INT_PTR CConverterDlg::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == IDM_ABOUTBOX) {
        DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_ABOUTBOX), hwnd_, AboutBoxProc, 0);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      OnExitOrCancel();
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wp) != BN_CLICKED) return FALSE;
      switch (LOWORD(wp)) {
        case IDC_ADD: OnAdd(); return TRUE;
        case IDC_REMOVE: OnRemove(); return TRUE;
        case IDC_OUTPUT_FOLDER: OnOutputFolder(); return TRUE;
        case IDC_CONVERT_ALL: OnConvertAll(); return TRUE;
        case IDCANCEL: OnExitOrCancel(); return TRUE;
      }
      return FALSE;
    case kMsgBatchThreadEnded:
      OnBatchThreadEnded();
      return TRUE;
  }
  return FALSE;
}

void CConverterDlg::OnInit() {
  HMENU system = GetSystemMenu(hwnd_, FALSE);
  if (system) {
    AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, L"&About Converter...");
  }
  SendDlgItemMessageW(hwnd_, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, conv::kProgressSpan));
  SendDlgItemMessageW(hwnd_, IDC_PROGRESS, PBM_SETPOS, 0, 0);
}

void CConverterDlg::OnAdd() {
  std::vector<wchar_t> names(kOpenBufferChars, L'\0');
  OPENFILENAMEW request = {};
  request.lStructSize = sizeof request;
  request.hwndOwner = hwnd_;
  request.hInstance = instance_;
  request.lpstrFilter = kFilter;
  request.nFilterIndex = 1;
  request.lpstrFile = names.data();
  request.nMaxFile = kOpenBufferChars;
  request.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_LONGNAMES | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                  OFN_HIDEREADONLY | OFN_NONETWORKBUTTON;
  if (!Seams().getOpenFileName(&request)) return;
  names.back() = L'\0';

  HWND shown = GetDlgItem(hwnd_, IDC_FILE_NAMES), paths = GetDlgItem(hwnd_, IDC_FILE_PATHS);
  for (const conv::u16& path : conv::SelectedFiles(reinterpret_cast<const char16_t*>(names.data()), names.size())) {
    DWORD attributes = GetFileAttributesW(W(path));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | kVolumeLabel))) continue;
    if (SendMessageW(paths, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(W(path))) !=
        LB_ERR)
      continue;
    conv::u16 name = conv::FileNamePart(path);
    LRESULT row = SendMessageW(shown, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(name)));
    LRESULT full = SendMessageW(paths, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(path)));
    if (row != full && row >= 0) SendMessageW(shown, LB_DELETESTRING, row, 0);  // keep both lists in step
  }
}

void CConverterDlg::OnRemove() {
  HWND shown = GetDlgItem(hwnd_, IDC_FILE_NAMES), paths = GetDlgItem(hwnd_, IDC_FILE_PATHS);
  LRESULT count = SendMessageW(shown, LB_GETSELCOUNT, 0, 0);
  if (count <= 0) return;
  std::vector<int> rows(static_cast<size_t>(count));
  LRESULT got = SendMessageW(shown, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(rows.data()));
  if (got <= 0) return;
  rows.resize(static_cast<size_t>(got));
  for (size_t i = rows.size(); i > 0; --i) {
    SendMessageW(shown, LB_DELETESTRING, rows[i - 1], 0);
    SendMessageW(paths, LB_DELETESTRING, rows[i - 1], 0);
  }
}

void CConverterDlg::OnOutputFolder() {
  COutputFolderDlg dialog(core_.sameFolder, W(core_.outputFolder));
  if (dialog.DoModal(hwnd_) != IDOK) return;
  core_.sameFolder = dialog.SameFolder();
  core_.outputFolder = U(dialog.Folder().c_str());
}

void CConverterDlg::EnableButtons(bool enable) {
  for (int id : {IDC_ADD, IDC_REMOVE, IDC_OUTPUT_FOLDER, IDC_CONVERT_ALL}) EnableWindow(GetDlgItem(hwnd_, id), enable);
  SetDlgItemTextW(hwnd_, IDCANCEL, enable ? L"E&xit" : L"&Cancel");
}

void CConverterDlg::OnConvertAll() {
  if (core_.Converting() || worker_) return;
  if (SendDlgItemMessageW(hwnd_, IDC_FILE_NAMES, LB_GETCOUNT, 0, 0) <= 0) return;
  if (!core_.StartEngine()) {
    Seams().messageBox(hwnd_, W(conv::kTextNoEngine), L"Error", MB_OK | MB_ICONERROR);
    return;
  }
  CCodecSelect codec(core_.codecChoice);
  if (codec.DoModal(hwnd_) != IDOK) return;
  core_.codecChoice = codec.Choice();

  int prepared = core_.PrepareExport();
  if (prepared != conv::kPrepared) {
    const char16_t* text = prepared == conv::kNoExporter ? conv::kTextComponentsMissing : conv::kTextPrepareFailed;
    Seams().messageBox(hwnd_, W(text), L"Error", MB_OK | MB_ICONERROR);
    return;
  }
  EnableButtons(false);
  core_.MarkConverting();
  DWORD id = 0;
  worker_ = CreateThread(nullptr, 0, BatchThread, this, 0, &id);
  if (!worker_) {
    core_.MarkIdle();
    EnableButtons(true);
  }
}

DWORD WINAPI CConverterDlg::BatchThread(void* self) {
  auto* dialog = static_cast<CConverterDlg*>(self);
  dialog->core_.RunBatch(*dialog);
  PostMessageW(dialog->hwnd_, kMsgBatchThreadEnded, 0, 0);
  return 0;
}

void CConverterDlg::OnBatchThreadEnded() {
  if (!worker_) return;
  WaitForSingleObject(worker_, INFINITE);
  CloseHandle(worker_);
  worker_ = nullptr;
}

void CConverterDlg::OnExitOrCancel() {
  if (core_.Converting()) {
    if (!core_.Pause()) return;  // the batch ended just now
    if (Ask(hwnd_, W(conv::kTextCancelQuestion)) == IDOK)
      core_.Cancel();
    else
      core_.Resume();
    return;
  }
  if (worker_) return;  // the batch is finishing; its last message is on the way
  if (Ask(hwnd_, W(conv::kTextExitQuestion)) != IDOK) return;
  core_.ShutDown();
  Close();
}

void CConverterDlg::Close() {
  if (modal_)
    EndDialog(hwnd_, IDCANCEL);
  else
    DestroyWindow(hwnd_);
}

// ---- BatchHost, on the batch thread

size_t CConverterDlg::PathCount() {
  LRESULT n = SendDlgItemMessageW(hwnd_, IDC_FILE_PATHS, LB_GETCOUNT, 0, 0);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

size_t CConverterDlg::RowCount() {
  LRESULT n = SendDlgItemMessageW(hwnd_, IDC_FILE_NAMES, LB_GETCOUNT, 0, 0);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

conv::u16 CConverterDlg::FirstPath() { return U(ListText(GetDlgItem(hwnd_, IDC_FILE_PATHS), 0).c_str()); }

void CConverterDlg::RemoveFirstRow() {
  SendDlgItemMessageW(hwnd_, IDC_FILE_NAMES, LB_DELETESTRING, 0, 0);
  SendDlgItemMessageW(hwnd_, IDC_FILE_PATHS, LB_DELETESTRING, 0, 0);
}

void CConverterDlg::SetProgressRange(int maximum) {
  SendDlgItemMessageW(hwnd_, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
}

void CConverterDlg::SetProgress(int position) { SendDlgItemMessageW(hwnd_, IDC_PROGRESS, PBM_SETPOS, position, 0); }

void CConverterDlg::SetStatus(const conv::u16& text) { SetDlgItemTextW(hwnd_, IDC_STATUS, W(text)); }

void CConverterDlg::ShowError(const char16_t* text) {
  Seams().messageBox(hwnd_, reinterpret_cast<const wchar_t*>(text), nullptr, MB_OK | MB_ICONERROR);
}

void CConverterDlg::BatchEnded() { EnableButtons(true); }

}  // namespace conv_win
