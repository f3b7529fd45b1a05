// Registers every source the player has with the built-in reader entry: the video sources
// of the video table and the still-picture sources of the image table.
#pragma once

namespace crvdecode {
void RegisterAllSources();
}
