// Resource ids of the player. Menu, menu-bar, icon and title of the frame share 102.
#pragma once

#define IDR_FRAME 102
#define IDS_ERROR_CAPTION 412
#define IDS_NO_RECENT_FILES 485
#define IDS_KEY_VIEW 1500
#define IDS_KEY_MENU 1501

#define ID_KEY_VIEW 111
#define ID_KEY_MENU 112
#define ID_RECENT_PLACEHOLDER 24
#define ID_VIEW_IMAGE 32775
#define ID_EXIT 32791
#define ID_PLAY_SLIDESHOW 32822
#define ID_OPEN 32825
#define ID_SAVE 32826
#define ID_ADD_IMAGE 32828
#define ID_HELP 32877
#define ID_SETTINGS 32879
#define ID_ADD_FOLDER 32885
#define ID_OPEN_FOLDER 32889
#define ID_CLEANER 32893
#define ID_SCREENSHOT 32905
#define ID_NEW 32910
#define ID_MEDIA_LIBRARY 32925
#define ID_IMAGE_ALBUM 32926
#define ID_OPEN_URL 32939
