// The windows of Corvane Movie Converter: the main dialog with its file lists, buttons,
// status line and progress bar; the output-folder, codec and about dialogs; and the batch
// worker thread that converts the listed files one after the other.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <string>

#include "converter/conversion.h"
#include "converter/ffmpeg_engine.h"

namespace conv_win {

// The few calls into the system that show something the user must answer. Tests replace
// them to see what was asked and to answer it.
struct UiSeams {
  int (*messageBox)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) = DefaultMessageBox;
  BOOL(WINAPI* getOpenFileName)(OPENFILENAMEW* request) = GetOpenFileNameW;
  PIDLIST_ABSOLUTE(WINAPI* browseForFolder)(BROWSEINFOW* request) = SHBrowseForFolderW;

  static int DefaultMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    return MessageBoxW(owner, text, caption, type);
  }
};
UiSeams& Seams();

const wchar_t* W(const conv::u16& text);  // the same characters as WCHAR text
conv::u16 U(const wchar_t* text);

// The two presets, as stored in the program's resources.
conv::Bytes LoadPreset(HINSTANCE instance, int id);

INT_PTR CALLBACK AboutBoxProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);

// The exporter's settings dialog (Custom): shows `settings`, true with the changes on OK.
bool RunExportSettingsDialog(HWND owner, conv::ExportSettings& settings);

// The "Output folder" dialog: radio buttons for the same-folder flag, the folder's edit box
// and the shell folder browser.
class COutputFolderDlg {
 public:
  COutputFolderDlg(bool sameFolder, const std::wstring& folder) : sameFolder_(sameFolder), folder_(folder) {}
  INT_PTR DoModal(HWND owner);
  bool SameFolder() const { return sameFolder_; }
  const std::wstring& Folder() const { return folder_; }

 private:
  static INT_PTR CALLBACK Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
  void OnInit();
  void OnRadio(int id);
  void Browse();
  bool OnOk();

  HWND hwnd_ = nullptr;
  bool sameFolder_;
  std::wstring folder_;
};

// "Codec Select": Sorenson 3, H.263 or Custom.
class CCodecSelect {
 public:
  explicit CCodecSelect(int32_t choice) : choice_(choice) {}
  INT_PTR DoModal(HWND owner);
  int32_t Choice() const { return choice_; }

 private:
  static INT_PTR CALLBACK Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
  int32_t choice_;
};

// The main dialog. The program runs it modally; tests create it modeless and drive it.
class CConverterDlg : private conv::BatchHost {
 public:
  CConverterDlg(HINSTANCE instance, conv::Bytes h263Preset, conv::Bytes sorensonPreset);
  ~CConverterDlg() override;

  INT_PTR DoModal();
  HWND Create(HWND owner);  // modeless; the window destroys itself when closed
  HWND Hwnd() const { return hwnd_; }
  conv::Converter& Core() { return core_; }
  conv::FfmpegMovieEngine& Engine() { return engine_; }
  // The batch thread is running (or has not yet told the dialog that it ended).
  bool WorkerRunning() const { return worker_ != nullptr; }

 private:
  static INT_PTR CALLBACK Proc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
  INT_PTR Handle(UINT msg, WPARAM wp, LPARAM lp);
  void OnInit();
  void OnAdd();
  void OnRemove();
  void OnOutputFolder();
  void OnConvertAll();
  void OnExitOrCancel();
  void OnBatchThreadEnded();
  void Close();
  void EnableButtons(bool enable);
  static DWORD WINAPI BatchThread(void* self);

  // BatchHost: called on the batch thread; everything goes to the controls as messages.
  size_t PathCount() override;
  size_t RowCount() override;
  conv::u16 FirstPath() override;
  void RemoveFirstRow() override;
  void SetProgressRange(int maximum) override;
  void SetProgress(int position) override;
  void SetStatus(const conv::u16& text) override;
  void ShowError(const char16_t* text) override;
  void BatchEnded() override;

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  bool modal_ = false;
  conv::FfmpegMovieEngine engine_;
  conv::Converter core_;
  HANDLE worker_ = nullptr;
};

constexpr UINT kMsgBatchThreadEnded = WM_APP + 1;

}  // namespace conv_win
