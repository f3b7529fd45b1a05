// The shell's dialogs the player asks for: the extended open-file dialog and camera capture.
// On the emulated device the open dialog is the desktop's common dialog, given the device's
// record; there is no camera, so the shell's "Camera" state value stays 0 and capture fails.
#pragma once
#include <windows.h>
#include <commdlg.h>

#ifdef __cplusplus
extern "C" {
#endif

// The extended open-file record (84 bytes on the device): the common dialog's record, then
// the extended flags and two reserved words.
#define OFN_EXFLAG_DETAILSVIEW 0x00000001
#define OFN_EXFLAG_THUMBNAILVIEW 0x00000002
#define OFN_EXFLAG_HIDEDRMPROTECTED 0x00010000
typedef struct tagOPENFILENAMEEX {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCWSTR lpstrFilter;
  LPWSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPWSTR lpstrFile;
  DWORD nMaxFile;
  LPWSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCWSTR lpstrInitialDir;
  LPCWSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCWSTR lpstrDefExt;
  LPARAM lCustData;
  LPVOID lpfnHook;
  LPCWSTR lpTemplateName;
  DWORD dwSortOrder;
  DWORD ExFlags;
} OPENFILENAMEEX, *LPOPENFILENAMEEX;

// TRUE with the chosen path in lpstrFile; FALSE on cancel (CommDlgExtendedError() 0) or
// failure (its error code).
BOOL WINAPI GetOpenFileNameEx(LPOPENFILENAMEEX request);

// Camera capture.
typedef struct tagSHCAMERACAPTURE {
  DWORD cbSize;
  HWND hwndOwner;
  WCHAR szFile[MAX_PATH];
  LPCWSTR pszInitialDir;
  LPCWSTR pszDefaultFileName;
  LPCWSTR pszTitle;
  DWORD StillQuality;
  DWORD VideoTypes;
  DWORD nResolutionWidth;
  DWORD nResolutionHeight;
  DWORD nVideoTimeLimit;
  DWORD Mode;
} SHCAMERACAPTURE, *PSHCAMERACAPTURE;

// S_OK with the captured file in szFile, S_FALSE when the user cancelled, an error otherwise.
HRESULT WINAPI SHCameraCapture(PSHCAMERACAPTURE request);

#ifdef __cplusplus
}
#endif
