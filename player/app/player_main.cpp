// The player's entry: hand a file to a running instance, or start, run and shut down.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "platform/shell/aygshell.h"
#include "player/app/api_registry.h"
#include "player/app/frame_wnd.h"
#include "player/app/handover.h"
#include "player/app/main_app.h"
#include "player/base/win16.h"
#include "player/media/avi_source.h"
#include "player/media/http_source.h"
#include "player/media/mpeg_source.h"
#include "player/media/qt_player_source.h"
#include "player/pictures/formats/picture_sources.h"
#include "player/pictures/reader_registry.h"
#include "player/resources/resource_ids.h"

namespace crv {
namespace {

// Raises a window with its owned pop-ups, as the shell does for a handle with bit 0 set.
void BringToFront(HWND window) {
  HWND popup = GetLastActivePopup(window);
  SetForegroundWindow(popup && IsWindowVisible(popup) ? popup : window);
}

// Steps 2 and 3: true when a running instance took over and this process should end.
bool HandOverToRunningInstance(SettingsStore& store, const wchar_t* commandLine) {
  u16 path = commandLine ? u16(U(commandLine)) : u16();
  bool exists = !path.empty() && GetFileAttributesW(commandLine) != INVALID_FILE_ATTRIBUTES;
  HandOverPlan plan = PlanHandOver(path, exists);
  if (plan.writeFileName) {
    char16_t buffer[kPathChars];
    CopyTo(buffer, kPathChars, path);
    LoadSaveFileName(store, buffer, kPathChars, Direction::Write);
  }
  if (plan.writeExtType) {
    uint32_t kind = plan.kind;
    LoadSaveExtType(store, kind, Direction::Write);
  }
  HWND running = FindWindowW(W(kFrameClassName), nullptr);
  if (!running) return false;
  if (plan.message == kMsgOpenImageFile) PostMessageW(running, kMsgOpenImageFile, 0, 0);
  if (plan.message == kMsgOpenMediaFile)
    PostMessageW(running, kMsgOpenMediaFile, 0, reinterpret_cast<LPARAM>(commandLine));
  BringToFront(running);
  return true;
}

}  // namespace

int RunPlayer(HINSTANCE instance, const wchar_t* commandLine) {
  SHInitExtraControls();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  RegistrySettingsStore store;
  if (HandOverToRunningInstance(store, commandLine)) return 0;

  ViewSettings& view = TheViewSettings();
  view.Load(store);

  // Step 5: the sources behind the built-in loader's rows, then the image-loader list (the
  // built-in loader, then the plug-ins beside the program) for the mode just read.
  RegisterAviSource();
  RegisterQtSource();
  RegisterHttpSource();
  RegisterMpegSource();
  RegisterPictureSources();
  ChangeMediaMode(view.LoadMedia() == 1);

  // The handheld's COM has a single model; on this platform the thread must be a single-
  // threaded apartment, as the hosted media control is an OLE control that lives on the
  // window thread and sends its events through the message loop.
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return -1;
  int exitCode = 0;
  {
    MainApp app(instance, L"Corvane Cinema");
    FrameWnd* frame = new FrameWnd(store, commandLine);
    if (frame->Create(instance, W(kFrameClassName), IDR_FRAME)) app.Run(frame->Handle());
    view.Save(store);
    CoUninitialize();
    delete frame;
  }
  ProcessReaderRegistry().Clear();
  return exitCode;
}

}  // namespace crv

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  using crv::U;
  crv::u16 path = crv::CommandLinePath(commandLine ? crv::u16(U(commandLine)) : crv::u16());
  return crv::RunPlayer(instance, crv::W(path.c_str()));
}
