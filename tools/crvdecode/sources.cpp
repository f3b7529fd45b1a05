#include "tools/crvdecode/sources.h"

#include "player/media/avi_source.h"
#include "player/media/mpeg_source.h"
#include "player/media/qt_player_source.h"
#include "player/pictures/formats/picture_sources.h"

namespace crvdecode {

void RegisterAllSources() {
  crv::RegisterAviSource();
  crv::RegisterQtSource();
  // MPEG files open through the MPEG library beside the program ("codecs.dat"); without it
  // (natively) they answer 8, as in the player.
  crv::RegisterMpegSource();
  crv::LoadMpegLibrary();
  crv::RegisterPictureSources();
}

}  // namespace crvdecode
