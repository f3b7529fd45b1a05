// Natively there is no HTTP client: streams open only through a session maker set by a test.
#include "player/media/http_session.h"

namespace crv {

std::unique_ptr<HttpSession> MakePlatformHttpSession() { return nullptr; }

}  // namespace crv
