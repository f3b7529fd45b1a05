// Files into the album: the open dialogs, the folder chooser, recent files, saving and "New".
#include <windows.h>
#include <commdlg.h>

#include "platform/shell/shell_dialogs.h"
#include "player/app/frame_wnd.h"
#include "player/app/select_folder_dlg.h"
#include "player/base/api_helpers.h"
#include "player/base/win16.h"
#include "player/pictures/album_view.h"
#include "player/pictures/image_holder.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

constexpr wchar_t kProductName[] = L"Halvren Corvane Cinema v5.00";
constexpr wchar_t kTempUrlFile[] = L"\\My Documents\\temp.url";
// The device dialog's extended flags: thumbnails, and no DRM-protected files.
constexpr DWORD kOpenDialogExFlags = OFN_EXFLAG_THUMBNAILVIEW | OFN_EXFLAG_HIDEDRMPROTECTED;

const wchar_t kOpenFilter[] =
    L"All Files (*.mab,*.2bp,*.bmp,*.img,*.jpg,*.jpe,*.jpeg,*.gif,*.tiff,*.tif,*.cfx,*.pcx,*.pcd,*.raw,*.pgm,*.ppm)\0"
    L"*.mab;*.2bp;*.bmp;*.img;*.jpg;*.jpe;*.jpeg;*.gif;*.tiff;*.tif;*.cfx;*.pcx;*.pcd;*.raw;*.pgm;*.ppm\0";
const wchar_t kAddFilter[] =
    L"All Files (*.2bp,*.bmp,*.img,*.jpg,*.jpe,*.jpeg,*.gif,*.tiff,*.tif,*.cfx,*.pcx,*.pcd,*.raw,*.pgm,*.ppm)\0"
    L"*.2bp;*.bmp;*.img;*.jpg;*.jpe;*.jpeg;*.gif;*.tiff;*.tif;*.cfx;*.pcx;*.pcd;*.raw;*.pgm;*.ppm\0";
const wchar_t kAlbumFilter[] = L"Album (*.mab)\0*.mab\0";

bool IsFolder(const u16& path) {
  const DWORD attributes = GetFileAttributesW(W(path.c_str()));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool HasWildcardInName(const u16& path) {
  const size_t name = path.find_last_of(u'\\');
  return path.find_first_of(u"*?", name == u16::npos ? 0 : name) != u16::npos;
}

// The message of a failed open dialog: 0 (cancelled) shows nothing.
void ShowDialogError(HWND owner, DWORD code) {
  if (code == 0) return;
  wchar_t text[64];
  if (code == ERROR_OUTOFMEMORY) lstrcpyW(text, L"Operation ran out of memory.");
  else if (code == ERROR_INVALID_PARAMETER) lstrcpyW(text, L"An invalid argument was specified.");
  else wsprintfW(text, L"An error 0x%08X occurred!", code);
  MessageBoxW(owner, text, L"Error", MB_OK | MB_ICONSTOP);
}

}  // namespace

void FrameWnd::ShowAlbumError(int32_t result) {
  const char16_t* text = ResultText(result);
  wchar_t fallback[48];
  wsprintfW(fallback, L"Error %d.", result);
  MessageBoxW(window_, text ? W(text) : fallback, L"Error", MB_OK | MB_ICONSTOP);
}

void FrameWnd::RememberPath(const u16& path) {
  CopyTo(options_.FileName, kPathChars, path);
  recent_.Add(store_, path);
  RebuildRecentMenu();
}

// Opens a path into the album, replacing it or appending: a file, a folder ("\*" added), a
// pattern or an album file. False (with the message shown) when it failed.
bool FrameWnd::OpenPath(const u16& path, bool append, bool recurse) {
  if (path.find(u"http:") != u16::npos) return false;
  if (path != u16(U(kTempUrlFile))) DeleteFileW(kTempUrlFile);
  StopThumbnails();
  const int32_t result = album_.AddPath(path, append, recurse);
  if (albumView_) albumView_->Refresh();
  if (result < 0) {
    ShowAlbumError(-result);
    return false;
  }
  RememberPath(path);
  return true;
}

// "&Open..." and "Add &Image...": the shell's open dialog, then the path into the album.
void FrameWnd::OpenFileDialog(bool add) {
  if (!dialogPath_[0]) lstrcpynW(dialogPath_, CurrentPath(), MAX_PATH);
  StopThumbnails();
  wchar_t file[MAX_PATH] = L"";
  wchar_t title[64];
  LoadResString(add ? IDS_ADD_IMAGE_TITLE : IDS_OPEN_TITLE, title, 64, instance_);
  // The folder of the remembered path, where the dialog starts.
  wchar_t folder[MAX_PATH];
  lstrcpynW(folder, dialogPath_, MAX_PATH);
  if (wchar_t* slash = wcsrchr(folder, L'\\')) slash[slash == folder ? 1 : 0] = 0;
  OPENFILENAMEEX request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = window_;
  request.hInstance = instance_;
  request.lpstrFilter = add ? kAddFilter : kOpenFilter;
  request.lpstrFile = file;
  request.nMaxFile = MAX_PATH;
  request.lpstrInitialDir = folder;
  request.lpstrTitle = title;
  request.ExFlags = kOpenDialogExFlags;
  if (!GetOpenFileNameEx(&request)) {
    ShowDialogError(window_, CommDlgExtendedError());
    if (!dialogPath_[0]) lstrcpyW(dialogPath_, L"\\");
    return;
  }
  u16 path = U(file);
  bool pattern = false;
  if (IsFolder(path)) {
    path += u"\\*";
    pattern = true;
  } else if (HasWildcardInName(path)) {
    pattern = true;
  } else if (GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES) {
    ShowAlbumError(kResultCannotOpen);
    return;
  }
  lstrcpynW(dialogPath_, file, MAX_PATH);
  OpenPath(path, add, pattern);
}

// "Open Folder..." / "Add Folder...": the folder chooser, then every picture of the folder.
void FrameWnd::ChooseFolder(bool add) {
  StopThumbnails();
  CSelectFolderDlg chooser(window_, instance_);
  if (chooser.DoModal() != IDOK) return;
  u16 pattern = U(chooser.ResultPath());
  if (pattern.empty() || pattern.back() != u'\\') pattern += u'\\';
  pattern += u"*";
  OpenPath(pattern, add, false);
}

void FrameWnd::OpenRecent(size_t index) {
  const auto& entries = recent_.Entries();
  if (index >= entries.size()) return;
  const u16 path = entries[index];
  const bool pattern = IsFolder(path) || HasWildcardInName(path);
  OpenPath(IsFolder(path) ? path + u"\\*" : path, false, pattern);
}

// "Save...": the album's name proposed (".mab" forced), the save dialog, then the album is
// written beside the old file and put in its place.
void FrameWnd::SaveAlbum() {
  wchar_t file[MAX_PATH];
  lstrcpynW(file, W(album_.ProposedSaveName().c_str()), MAX_PATH);
  wchar_t title[64];
  LoadResString(IDS_SAVE_ALBUM_TITLE, title, 64, instance_);
  OPENFILENAMEW request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = window_;
  request.lpstrFilter = kAlbumFilter;
  request.lpstrFile = file;
  request.nMaxFile = MAX_PATH;
  request.lpstrTitle = title;
  request.lpstrDefExt = L"MAB";
  request.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetSaveFileNameW(&request)) return;
  HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  const u16 target = ForcedAlbumName(U(file));
  StopThumbnails();
  const int32_t result = album_.SaveTo(target);
  SetCursor(old);
  if (albumView_) albumView_->Refresh();
  if (result != kResultOk) {
    ShowAlbumError(result);
    return;
  }
  RememberPath(target);
}

// "New": an empty album; a full one asks first whether to save it.
void FrameWnd::NewAlbum() {
  if (album_.Count() == 0) return;
  StopThumbnails();
  const int answer =
      MessageBoxW(window_, L"Do you want to save album?", kProductName, MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDCANCEL) return;
  if (answer == IDYES) SendMessageW(window_, WM_COMMAND, ID_SAVE, 0);
  StopThumbnails();
  album_.Clear();
  if (albumView_) albumView_->Refresh();
}

}  // namespace crv
