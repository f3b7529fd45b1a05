// The hosted Windows Media control as the rest of the program sees it: a few process-wide
// operations, so that nothing else touches the control's interfaces. Each one does nothing and
// answers its "no host" result (0, "00:00", 1) while no host exists.
#pragma once
#include <windows.h>

#include <string>

namespace crv {
namespace wmp {

// At frame creation: 1 when the host exists, else -1.
int CreateHost(HINSTANCE instance, HWND frameWindow);
// Creates the host if needed, sets the URL to `path` with auto-start on, shows the host.
// 1 on success.
int OpenMedia(const std::u16string& path, HWND parentWindow);
void CloseMedia();
int Play();
void PausePlayback();
void StopPlayback();
// Play states: 1 stopped, 2 paused, 3 playing, 8 media ended, 10 ready.
int PlayState();
// 13 when the media is open; -1 on failure.
int OpenState();
double Duration();
double Position();
std::u16string PositionText();
int SetPosition(double seconds);
int SetVolume(int percent);
// The control's volume, 0..100; 0 without host or when it cannot be read.
int Volume();
void SetMute(bool on);
int ItemCount();
void ToggleFullScreen();
void MoveHost(const RECT& rect);
int PlayerVersion();
void DestroyHost();
bool HostExists();
// Finds the item of the control's media library whose "SourceURL" is `sourceUrl` (without
// regard to case) and gives its title, author and album. False without host or match.
bool LookupLibraryItem(const std::u16string& sourceUrl, std::u16string& title, std::u16string& author,
                       std::u16string& album);

constexpr int kPlayStateStopped = 1;
constexpr int kPlayStatePaused = 2;
constexpr int kPlayStatePlaying = 3;
constexpr int kPlayStateEnded = 8;
constexpr int kPlayStateReady = 10;
constexpr int kOpenStateMediaOpen = 13;

}  // namespace wmp
}  // namespace crv
