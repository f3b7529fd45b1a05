// Resource ids of the album window and of the dialog that reorders it by hand. The album's
// commands (32830, 32832, 32833, 32841-32844) and the forwarded ones are in resource_ids.h.
#pragma once

// The album's pop-up menu on tap-and-hold.
#define IDM_ALBUM_POPUP 140

// "Sort Manually...": three templates by screen shape, its soft keys (menu-bar definition
// and menu share the id), the list of file names and the Up and Down buttons.
#define IDD_REORDER_PORTRAIT 160
#define IDD_REORDER_LANDSCAPE 161
#define IDD_REORDER_SQUARE 162
#define IDR_REORDER_MENU 163
#define IDC_REORDER_LIST 1096
#define IDC_REORDER_UP 1097
#define IDC_REORDER_DOWN 1098

#define IDS_ALBUM_NO_THREAD 1600
