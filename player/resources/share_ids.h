// Resource ids of "Open URL..." and its dialogs.
#pragma once

// The address dialog: three templates by screen shape, its soft keys ("OK", and a menu with
// "Clear History" and "Cancel"), the address edit and the history list with their labels.
#define IDD_OPEN_URL_PORTRAIT 132
#define IDD_OPEN_URL_LANDSCAPE 133
#define IDD_OPEN_URL_SQUARE 134
#define IDR_OPEN_URL_MENU 154
#define IDC_OPEN_URL_LABEL 1106
#define IDC_OPEN_URL_ADDRESS 1107
#define IDC_OPEN_URL_HISTORY_LABEL 1110
#define IDC_OPEN_URL_HISTORY 1969
#define ID_CLEAR_HISTORY 32937
#define IDS_KEY_OK 1523

// The file list of a web page: three templates by screen shape, the "Files:" label and the
// list. Its soft keys ("OK", "Cancel") are the folder chooser's bar, kept in share.rc.
#define IDD_SELECT_FILES_PORTRAIT 135
#define IDD_SELECT_FILES_LANDSCAPE 136
#define IDD_SELECT_FILES_SQUARE 137
#define IDR_SELECT_FILES_MENU IDR_SELECT_FOLDER_MENU
#define IDC_SELECT_FILES_LABEL 1111
#define IDC_SELECT_FILES_LIST 1970

// "Downloading...": one small centred box with the bar and a "Cancel" button (IDCANCEL).
#define IDD_DOWNLOADING 138
#define IDC_DOWNLOAD_PROGRESS 1112
