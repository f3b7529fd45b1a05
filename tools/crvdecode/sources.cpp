#include "tools/crvdecode/sources.h"

#include "player/media/avi_source.h"
#include "player/media/qt_player_source.h"
#include "player/pictures/formats/picture_sources.h"

namespace crvdecode {

void RegisterAllSources() {
  crv::RegisterAviSource();
  crv::RegisterQtSource();
  crv::RegisterPictureSources();
}

}  // namespace crvdecode
