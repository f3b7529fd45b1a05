#include "player/app/frame_wnd.h"

#include <string>

#include "player/base/api_helpers.h"
#include "player/app/file_kind.h"
#include "player/app/handover.h"
#include "player/base/win16.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

bool PathExists(const wchar_t* path) { return path && path[0] && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// Deletes the program's temporary files "_w~*.*" in "\Temp\", folders with their contents.
void DeleteTree(const std::wstring& path);
void DeleteTemporaryFiles() {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(L"\\Temp\\_w~*.*", &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring path = std::wstring(L"\\Temp\\") + found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DeleteTree(path);
    else DeleteFileW(path.c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

void DeleteTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DeleteTree(child);
      else DeleteFileW(child.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

HMENU FindSubmenu(HMENU menu, const wchar_t* text) {
  if (!menu) return nullptr;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    HMENU sub = GetSubMenu(menu, i);
    if (!sub) continue;
    wchar_t label[64] = L"";
    GetMenuStringW(menu, i, label, 64, MF_BYPOSITION);
    if (lstrcmpiW(label, text) == 0) return sub;
    if (HMENU deeper = FindSubmenu(sub, text)) return deeper;
  }
  return nullptr;
}

}  // namespace

FrameWnd::FrameWnd(SettingsStore& store, const wchar_t* commandLine) : store_(store) {
  LoadSaveOptions(store_, options_, Direction::Read);
  if (commandLine && commandLine[0]) CopyTo(options_.FileName, kPathChars, U(commandLine));
}

FrameWnd::~FrameWnd() { DeleteTemporaryFiles(); }

LRESULT FrameWnd::OnCreate(CREATESTRUCTW* create) {
  DeleteTemporaryFiles();
  LRESULT result = ApiFrameWnd::OnCreate(create);
  if (result != 0) return result;
  // The album view's soft keys until a view of its own replaces them.
  CreateMenuBar(IDR_FRAME);
  recent_.Load(store_);
  AttachRecentMenu(FindSubmenu(reinterpret_cast<HMENU>(SendMessageW(menuBar_, SHCMBM_GETMENU, 0, 0)), L"Recent files"));
  RebuildRecentMenu();
  // A file named on our own command line is shown as taken over at start.
  const FileKind kind = ConsumeStartHandOver(store_, options_, PathExists(CurrentPath()));
  if (kind != kKindNone) lastHandOver_ = kind == kKindPicture ? kMsgOpenImageFile : kMsgOpenMediaFile;
  return 0;
}

void FrameWnd::TakeHandOver(UINT message) {
  PumpMessages();
  LoadSaveFileName(store_, options_.FileName, kPathChars, Direction::Read);
  lastHandOver_ = message;
  if (message == kMsgOpenImageFile && PathExists(CurrentPath())) {
    recent_.Add(store_, U(CurrentPath()));
    RebuildRecentMenu();
  }
  EndHandOver(store_, options_);
  InvalidateRect(window_, nullptr, TRUE);
}

LRESULT FrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kMsgOpenImageFile:
    case kMsgOpenMediaFile:
      TakeHandOver(message);
      return 0;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_DESTROY:
      LoadSaveOptions(store_, options_, Direction::Write);
      DeleteFileW(L"\\My Documents\\temp.url");
      if (menuBar_) DestroyWindow(menuBar_);
      menuBar_ = nullptr;
      break;
  }
  return ApiFrameWnd::WindowProc(message, wParam, lParam);
}

void FrameWnd::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  RECT client;
  GetClientRect(window_, &client);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(128, 128, 128));
  wchar_t title[128];
  GetWindowTextW(window_, title, 128);
  std::wstring text = title;
  if (lastHandOver_) text += std::wstring(L"\n\n") + CurrentPath();
  DrawTextW(dc, text.c_str(), -1, &client, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  EndPaint(window_, &ps);
}

void FrameWnd::OpenRecent(size_t index) {
  const auto& entries = recent_.Entries();
  if (index >= entries.size()) return;
  u16 path = entries[index];
  CopyTo(options_.FileName, kPathChars, path);
  recent_.Add(store_, path);
  RebuildRecentMenu();
  InvalidateRect(window_, nullptr, TRUE);
}

BOOL FrameWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  UINT id = LOWORD(wParam);
  switch (id) {
    case ID_EXIT: DestroyWindow(window_); return TRUE;
    case ID_HELP: OpenHelp(window_, L"\\Windows\\CRV.htm", nullptr); return TRUE;
  }
  if (id >= RecentFiles::kFirstCommand && id < RecentFiles::kFirstCommand + RecentFiles::kCapacity) {
    OpenRecent(id - RecentFiles::kFirstCommand);
    return TRUE;
  }
  return ApiFrameWnd::OnCommand(wParam, lParam);
}

int FrameWnd::GetCommandState(UINT id) { return -1; }

BOOL FrameWnd::OnInitMenuPopup(HMENU menu) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count && i < 256; ++i) {
    if (GetSubMenu(menu, i)) continue;
    UINT id = GetMenuItemID(menu, i);
    int state = GetCommandState(id);
    if (state >= 0) EnableMenuItem(menu, i, MF_BYPOSITION | (state ? MF_ENABLED : MF_GRAYED));
  }
  return TRUE;
}

}  // namespace crv
