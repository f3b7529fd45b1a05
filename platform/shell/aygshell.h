// The Pocket PC shell calls the player uses, as the device's shell library offers them.
// On the emulated device these are our own stand-ins: a soft-key menu bar along the
// bottom of the screen, a navigation bar along the top, the input panel's state, the
// Done button and full-screen dialogs.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Menu bar.
#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010
#define SHCMBM_SETSUBMENU (WM_USER + 400)
#define SHCMBM_GETSUBMENU (WM_USER + 401)  // lParam: command id of a soft key
#define SHCMBM_GETMENU (WM_USER + 402)
#define SHCMBM_OVERRIDEKEY (WM_USER + 403)
#define NOMENU 0xFFFF
#define I_IMAGENONE (-2)

typedef struct tagSHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;  // menu-bar definition (RCDATA) or, with SHCMBF_HMENU, a menu resource
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;  // out
  COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info);
// Height of the soft-key bar in pixels on this screen.
int WINAPI SHMenuBarHeight(void);

// Full-screen dialogs.
#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
#define SHIDIF_EMPTYMENU 0x0020

typedef struct tagSHINITDLGINFO {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

BOOL WINAPI SHInitDialog(SHINITDLGINFO* info);

#define SHDB_SHOW 0x0001
#define SHDB_HIDE 0x0002
BOOL WINAPI SHDoneButton(HWND window, DWORD state);

// Input panel.
#define SIPF_OFF 0x00000000
#define SIPF_ON 0x00000001
#define SIPF_DOCKED 0x00000002
#define SIPF_LOCKED 0x00000004
#ifndef SPI_SETSIPINFO
#define SPI_SETSIPINFO 224
#define SPI_GETSIPINFO 225
#endif

typedef struct tagSIPINFO {
  DWORD cbSize;
  DWORD fdwFlags;
  RECT rcVisibleDesktop;
  RECT rcSipRect;
  DWORD dwImDataSize;
  void* pvImData;
} SIPINFO;

typedef enum tagSIPSTATE { SIP_UP = 0, SIP_DOWN, SIP_FORCEDOWN, SIP_UNCHANGED, SIP_INPUTDIALOG } SIPSTATE;

BOOL WINAPI SHSipPreference(HWND window, SIPSTATE state);
// SPI_GETSIPINFO / SPI_SETSIPINFO with a SIPINFO record.
BOOL WINAPI SHSipInfo(UINT action, UINT param, PVOID info, UINT winIni);

// Activation and setting changes.
typedef struct tagSHACTIVATEINFO {
  DWORD cbSize;
  HWND hwndLastFocus;
  UINT fSipUp : 1;
  UINT fSipOnDeactivation : 1;
  UINT fActive : 1;
  UINT fReserved : 29;
} SHACTIVATEINFO, *PSHACTIVATEINFO;

BOOL WINAPI SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);
BOOL WINAPI SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info);

// Full-screen mode of a top-level window.
#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020
BOOL WINAPI SHFullScreen(HWND window, DWORD state);

// The shell's start-up entry: registers the shell's window classes and brings up the
// navigation bar when the device has none yet.
BOOL WINAPI SHInitExtraControls(void);

// The screen area left for applications: below the navigation bar, above the soft keys
// (and the input panel when it is up).
void WINAPI SHGetVisibleDesktop(RECT* rect);
// Height of the navigation bar.
int WINAPI SHNavBarHeight(void);

#ifdef __cplusplus
}
#endif
