// The decode tool's picture command: a still picture loaded exactly as the picture view
// loads it (the reader registry in picture mode, an ImageHolder), written as pixels.
#pragma once

// crvdecode picture FILE [--flags N] [--page P] --bgr OUT
//
// argv[0] is "picture". Loads FILE with load flags N (default 0), turns to page P when P is
// not 0, writes the picture to OUT as top-down BGR24 rows (colour tables looked up, no row
// padding) and prints `key: value` lines: result, width, height, bpp, frames (the page
// count), info, text (the result's text, empty for none). 0 when the picture loaded, 1 when
// it did not (or OUT could not be written), 2 for a usage error.
int RunPictureCommand(int argc, char** argv);
