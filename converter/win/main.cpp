// Corvane Movie Converter: loads the two presets and runs the main dialog.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "converter/win/converter_ui.h"
#include "converter/win/resource.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // The shell folder browser needs COM on this thread.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INT_PTR result;
  {
    conv_win::CConverterDlg dialog(instance, conv_win::LoadPreset(instance, IDR_PRESET_H263),
                                   conv_win::LoadPreset(instance, IDR_PRESET_SORENSON3));
    result = dialog.DoModal();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return result == -1 ? 1 : 0;
}
