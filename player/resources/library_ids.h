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

// The library dialog: three templates by screen shape, the list, and the header bar's two
// buttons (Back, and the current level that drops down the list of levels).
#define IDD_LIBRARY_PORTRAIT 139
#define IDD_LIBRARY_LANDSCAPE 140
#define IDD_LIBRARY_SQUARE 141
#define IDC_LIBRARY_LIST 1970
#define IDC_LIBRARY_BACK 119
#define IDC_LIBRARY_LEVELS 120

// Its soft keys ("Play" and "Menu") in the library and file views, and in Now Playing.
#define IDR_LIBRARY_MENU 155
#define IDR_NOW_PLAYING_MENU 171
#define ID_LIBRARY_PLAY 32945
#define ID_LIBRARY_UPDATE 32946
#define ID_LIBRARY_PROPERTIES 32953
#define ID_LIBRARY_OPEN_FILE 32955
#define ID_LIBRARY_QUEUE_UP 32957
#define ID_LIBRARY_DELETE 32959
#define ID_LIBRARY_NOW_PLAYING 32961
#define ID_LIBRARY_ROOT 32964
#define ID_NOW_PLAYING_MOVE_UP 32967
#define ID_NOW_PLAYING_MOVE_DOWN 32968
#define ID_NOW_PLAYING_REMOVE 32970
#define ID_NOW_PLAYING_CLEAR 32972
#define ID_NOW_PLAYING_PLAY 32978
#define ID_NOW_PLAYING_SAVE 32980
#define IDS_KEY_PLAY 1522

// The labels of the fixed levels.
#define IDS_LEVEL_FILE_SYSTEM 27
#define IDS_LEVEL_BACK 28
#define IDS_LEVEL_LIBRARY 29
#define IDS_LEVEL_MY_MUSIC 30
#define IDS_LEVEL_MY_VIDEOS 31
#define IDS_LEVEL_ALL_MUSIC 32
#define IDS_LEVEL_ALL_VIDEO 33
#define IDS_LEVEL_ARTIST 34
#define IDS_LEVEL_ALBUM 35
#define IDS_LEVEL_GENRE 36
#define IDS_LEVEL_MY_PLAYLISTS 37
#define IDS_LEVEL_NOW_PLAYING 38

// The item properties: three templates by screen shape, the "Done" key, the title edit, the
// album, artist and genre boxes, and the genre names (500 "A capella" to 625 "Vocal").
#define IDD_PROPERTIES_PORTRAIT 145
#define IDD_PROPERTIES_LANDSCAPE 146
#define IDD_PROPERTIES_SQUARE 147
#define IDR_PROPERTIES_MENU 157
#define IDC_PROPERTIES_TITLE 1116
#define IDC_PROPERTIES_ALBUM 1119
#define IDC_PROPERTIES_ARTIST 1121
#define IDC_PROPERTIES_GENRE 1123
#define IDS_GENRE_FIRST 500
#define IDS_GENRE_COUNT 126
