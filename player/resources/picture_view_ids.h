// Resource ids of the picture view.
#pragma once

// The empty view's icons (36 x 46, magenta transparent).
#define IDB_PICTURE_NONE 130
#define IDB_PICTURE_LOADING 131
