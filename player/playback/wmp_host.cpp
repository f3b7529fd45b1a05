// The process-wide operations over the hosted control while no host exists: the control and
// its host window are created by CreateHost once the control can be hosted; until then every
// operation gives the answer the panel expects without a host, and only the built-in engine
// plays.
#include "player/playback/wmp_host.h"

namespace crv {
namespace wmp {

namespace {
int hostState = -1;  // 1 when the host exists after start-up
}  // namespace

int CreateHost(HINSTANCE, HWND) { return hostState; }
int OpenMedia(const std::u16string&, HWND) { return 0; }
void CloseMedia() {}
int Play() { return 0; }
void PausePlayback() {}
void StopPlayback() {}
int PlayState() { return 0; }
int OpenState() { return 0; }
double Duration() { return 0; }
double Position() { return 0; }
std::u16string PositionText() { return u"00:00"; }
int SetPosition(double) { return 0; }
int SetVolume(int) { return 0; }
void SetMute(bool) {}
int ItemCount() { return 0; }
void ToggleFullScreen() {}
void MoveHost(const RECT&) {}
int PlayerVersion() { return 1; }
void DestroyHost() {}
bool HostExists() { return hostState == 1; }

}  // namespace wmp
}  // namespace crv
