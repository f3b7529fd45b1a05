// Resource ids of the media library's dialogs.
#pragma once

// The library update: three templates by screen shape, its soft keys ("Search", then "Cancel"
// that becomes "Done"), the progress bar, the counter line and the phase line.
#define IDD_LIBRARY_UPDATE_PORTRAIT 142
#define IDD_LIBRARY_UPDATE_LANDSCAPE 143
#define IDD_LIBRARY_UPDATE_SQUARE 144
#define IDR_LIBRARY_UPDATE_MENU 156
#define ID_LIBRARY_UPDATE_SEARCH 32947
#define IDC_LIBRARY_UPDATE_PROGRESS 1114
#define IDC_LIBRARY_UPDATE_COUNTER 1115
#define IDC_LIBRARY_UPDATE_PHASE 1116
#define IDS_KEY_SEARCH 1520
#define IDS_KEY_CANCEL 1521
