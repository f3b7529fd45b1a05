// The decode tool's library and playlist commands: the library file ("hvml.hvl") or a playlist
// (".hvpl") loaded exactly as the player loads it.
#pragma once

// crvdecode library FILE --root DIR
// crvdecode playlist FILE --root DIR
//
// argv[0] is "library" or "playlist". DIR stands for the device root "\" when the entries'
// files are looked for (an entry whose file is missing is dropped, as in the player). Prints
// `result` (loaded, empty or failed), `count`, then one `record i` line per entry: type name,
// location, title (or the derived title), artist, album, genre, contrast and brightness,
// separated by " | ". 0 when the file loaded (with or without entries), 1 when it did not, 2
// for a usage error.
int RunListCommand(int argc, char** argv);
