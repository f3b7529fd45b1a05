// The decode tool's album command: an album file loaded exactly as the player opens it.
#pragma once

// crvdecode album FILE
//
// argv[0] is "album". Prints `key: value` lines: result (the load result code), items,
// options, folder, sound, then for each item i from 0: `item i path` (the full path after
// joining with the album folder), `item i rotation`, `item i thumbnail` (width height bits,
// or none) and for each slot s (0 to 3) in use `item i slot s` (type word, size in bytes and
// the MD5 of the data the album keeps, or `skipped` for a type whose data it does not keep).
// 0 when the album loaded, 1 when it did not, 2 for a usage error.
int RunAlbumCommand(int argc, char** argv);
