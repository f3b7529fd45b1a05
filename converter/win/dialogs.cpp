// The converter's smaller dialogs: output folder, codec choice, about box and the
// exporter's settings dialog.
#include "converter/win/converter_ui.h"

#include <commctrl.h>

#include "converter/messages.h"
#include "converter/win/resource.h"

namespace conv_win {
namespace {

std::wstring ItemText(HWND dlg, int id) {
  int length = GetWindowTextLengthW(GetDlgItem(dlg, id));
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetDlgItemTextW(dlg, id, &text[0], length + 1)));
  return text;
}

// Preselects the edit box's folder once the browser is up.
int CALLBACK BrowseCallback(HWND browser, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

INT_PTR CALLBACK AboutBoxProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
    EndDialog(dlg, LOWORD(wp));
    return TRUE;
  }
  return FALSE;
}

// ---- Output folder

INT_PTR COutputFolderDlg::DoModal(HWND owner) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OUTPUT_FOLDER), owner, Proc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK COutputFolderDlg::Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrW(dlg, DWLP_USER, lp);
    auto* self = reinterpret_cast<COutputFolderDlg*>(lp);
    self->hwnd_ = dlg;
    self->OnInit();
    return TRUE;
  }
  auto* self = reinterpret_cast<COutputFolderDlg*>(GetWindowLongPtrW(dlg, DWLP_USER));
  if (!self || msg != WM_COMMAND || HIWORD(wp) != BN_CLICKED) return FALSE;
  switch (LOWORD(wp)) {
    case IDC_SAME_FOLDER:
    case IDC_OTHER_FOLDER:
      self->OnRadio(LOWORD(wp));
      return TRUE;
    case IDC_BROWSE:
      self->Browse();
      return TRUE;
    case IDOK:
      if (self->OnOk()) EndDialog(dlg, IDOK);
      return TRUE;
    case IDCANCEL:
      EndDialog(dlg, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

void COutputFolderDlg::OnInit() {
  CheckRadioButton(hwnd_, IDC_SAME_FOLDER, IDC_OTHER_FOLDER, sameFolder_ ? IDC_SAME_FOLDER : IDC_OTHER_FOLDER);
  SetDlgItemTextW(hwnd_, IDC_FOLDER_EDIT, folder_.c_str());
  EnableWindow(GetDlgItem(hwnd_, IDC_FOLDER_EDIT), !sameFolder_);
}

void COutputFolderDlg::OnRadio(int id) {
  // The radios are automatic; make the pair agree with the click also when it was sent.
  CheckRadioButton(hwnd_, IDC_SAME_FOLDER, IDC_OTHER_FOLDER, id);
  bool other = id == IDC_OTHER_FOLDER;
  EnableWindow(GetDlgItem(hwnd_, IDC_FOLDER_EDIT), other);
  if (other && ItemText(hwnd_, IDC_FOLDER_EDIT).empty()) Browse();
}

void COutputFolderDlg::Browse() {
  std::wstring current = ItemText(hwnd_, IDC_FOLDER_EDIT);
  PIDLIST_ABSOLUTE computer = nullptr;
  SHGetSpecialFolderLocation(hwnd_, CSIDL_DRIVES, &computer);
  wchar_t display[MAX_PATH] = L"";
  BROWSEINFOW request = {};
  request.hwndOwner = hwnd_;
  request.pidlRoot = computer;
  request.pszDisplayName = display;
  request.ulFlags = BIF_RETURNONLYFSDIRS;
  request.lpfn = BrowseCallback;
  request.lParam = current.empty() ? 0 : reinterpret_cast<LPARAM>(current.c_str());
  PIDLIST_ABSOLUTE chosen = Seams().browseForFolder(&request);
  if (chosen) {
    wchar_t path[MAX_PATH] = L"";
    if (SHGetPathFromIDListW(chosen, path)) SetDlgItemTextW(hwnd_, IDC_FOLDER_EDIT, path);
    CoTaskMemFree(chosen);
  }
  if (computer) CoTaskMemFree(computer);
}

bool COutputFolderDlg::OnOk() {
  bool other = IsDlgButtonChecked(hwnd_, IDC_OTHER_FOLDER) == BST_CHECKED;
  std::wstring folder = ItemText(hwnd_, IDC_FOLDER_EDIT);
  if (other && folder.empty()) {
    Seams().messageBox(hwnd_, W(conv::kTextNoFolder), L"Warning", MB_OK | MB_ICONEXCLAMATION);
    Browse();
    return false;
  }
  folder_ = folder;
  sameFolder_ = IsDlgButtonChecked(hwnd_, IDC_SAME_FOLDER) == BST_CHECKED;
  return true;
}

// ---- Codec choice

INT_PTR CCodecSelect::DoModal(HWND owner) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CODEC_SELECT), owner, Proc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CCodecSelect::Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrW(dlg, DWLP_USER, lp);
    int32_t choice = reinterpret_cast<CCodecSelect*>(lp)->choice_;
    int radio = choice == conv::kChoiceSorenson3 ? IDC_SORENSON3 : choice == conv::kChoiceH263 ? IDC_H263 : IDC_CUSTOM;
    CheckRadioButton(dlg, IDC_SORENSON3, IDC_CUSTOM, radio);
    return TRUE;
  }
  auto* self = reinterpret_cast<CCodecSelect*>(GetWindowLongPtrW(dlg, DWLP_USER));
  if (!self || msg != WM_COMMAND) return FALSE;
  if (LOWORD(wp) == IDOK) {
    self->choice_ = IsDlgButtonChecked(dlg, IDC_SORENSON3) == BST_CHECKED ? conv::kChoiceSorenson3
                    : IsDlgButtonChecked(dlg, IDC_H263) == BST_CHECKED    ? conv::kChoiceH263
                                                                          : conv::kChoiceCustom;
    EndDialog(dlg, IDOK);
    return TRUE;
  }
  if (LOWORD(wp) == IDCANCEL) {
    EndDialog(dlg, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

// ---- The exporter's settings (Custom)

namespace {

struct Choice {
  const wchar_t* text;
  uint32_t value;
};
constexpr Choice kCodecs[] = {{L"H.263", conv::kCodecH263}, {L"Sorenson Video", conv::kCodecSorenson1}};
constexpr Choice kQualities[] = {{L"Least", conv::kQualityMin},
                                 {L"Low", conv::kQualityLow},
                                 {L"Normal", conv::kQualityNormal},
                                 {L"High", conv::kQualityHigh},
                                 {L"Best", conv::kQualityMax}};
constexpr Choice kFormats[] = {{L"IMA 4:1", conv::kSoundIma4}, {L"16-bit", conv::kSoundLittle16}};
constexpr Choice kRates[] = {{L"8.000 kHz", 8000}, {L"11.025 kHz", 11025}, {L"16.000 kHz", 16000},
                             {L"22.050 kHz", 22050}, {L"32.000 kHz", 32000}, {L"44.100 kHz", 44100},
                             {L"48.000 kHz", 48000}};
constexpr Choice kChannels[] = {{L"Mono", 1}, {L"Stereo", 2}};

template <size_t N>
void Fill(HWND dlg, int id, const Choice (&choices)[N], uint32_t current) {
  HWND box = GetDlgItem(dlg, id);
  int selected = 0;
  for (size_t i = 0; i < N; ++i) {
    SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choices[i].text));
    if (choices[i].value <= current) selected = static_cast<int>(i);  // the nearest one not above
  }
  SendMessageW(box, CB_SETCURSEL, selected, 0);
}

template <size_t N>
uint32_t Chosen(HWND dlg, int id, const Choice (&choices)[N]) {
  LRESULT at = SendDlgItemMessageW(dlg, id, CB_GETCURSEL, 0, 0);
  return choices[at >= 0 && static_cast<size_t>(at) < N ? at : 0].value;
}

INT_PTR CALLBACK ExportSettingsProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrW(dlg, DWLP_USER, lp);
    const auto& s = *reinterpret_cast<conv::ExportSettings*>(lp);
    CheckDlgButton(dlg, IDC_VIDEO_ON, s.video ? BST_CHECKED : BST_UNCHECKED);
    Fill(dlg, IDC_VIDEO_CODEC, kCodecs, s.videoCodec == conv::kCodecH263 ? conv::kCodecH263 : conv::kCodecSorenson1);
    SendDlgItemMessageW(dlg, IDC_VIDEO_CODEC, CB_SETCURSEL, s.videoCodec == conv::kCodecH263 ? 0 : 1, 0);
    Fill(dlg, IDC_QUALITY, kQualities, s.spatialQuality);
    SetDlgItemInt(dlg, IDC_KEY_FRAMES, s.keyFrameRate, FALSE);
    CheckDlgButton(dlg, IDC_SOUND_ON, s.sound ? BST_CHECKED : BST_UNCHECKED);
    Fill(dlg, IDC_SOUND_FORMAT, kFormats, 0);
    SendDlgItemMessageW(dlg, IDC_SOUND_FORMAT, CB_SETCURSEL, s.soundFormat == conv::kSoundIma4 ? 0 : 1, 0);
    Fill(dlg, IDC_SOUND_RATE, kRates, static_cast<uint32_t>(s.SampleRateHz() + 0.5));
    Fill(dlg, IDC_SOUND_CHANNELS, kChannels, static_cast<uint32_t>(s.channels));
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  if (LOWORD(wp) == IDOK) {
    auto& s = *reinterpret_cast<conv::ExportSettings*>(GetWindowLongPtrW(dlg, DWLP_USER));
    s.video = IsDlgButtonChecked(dlg, IDC_VIDEO_ON) == BST_CHECKED;
    uint32_t codec = Chosen(dlg, IDC_VIDEO_CODEC, kCodecs);
    // Sorenson Video 3 settings stay as they are when Sorenson Video is kept.
    if (!(codec == conv::kCodecSorenson1 && s.videoCodec == conv::kCodecSorenson3)) s.videoCodec = codec;
    s.spatialQuality = Chosen(dlg, IDC_QUALITY, kQualities);
    s.keyFrameRate = GetDlgItemInt(dlg, IDC_KEY_FRAMES, nullptr, FALSE);
    s.sound = IsDlgButtonChecked(dlg, IDC_SOUND_ON) == BST_CHECKED;
    s.soundFormat = Chosen(dlg, IDC_SOUND_FORMAT, kFormats);
    s.sampleRate = Chosen(dlg, IDC_SOUND_RATE, kRates) << 16;
    s.channels = static_cast<int16_t>(Chosen(dlg, IDC_SOUND_CHANNELS, kChannels));
    s.sampleSize = 16;
    EndDialog(dlg, IDOK);
    return TRUE;
  }
  if (LOWORD(wp) == IDCANCEL) {
    EndDialog(dlg, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

bool RunExportSettingsDialog(HWND owner, conv::ExportSettings& settings) {
  conv::ExportSettings edited = settings;
  if (DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_EXPORT_SETTINGS), owner, ExportSettingsProc,
                      reinterpret_cast<LPARAM>(&edited)) != IDOK)
    return false;
  settings = edited;
  return true;
}

}  // namespace conv_win
