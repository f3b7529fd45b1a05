#include "platform/shell/shell_dialogs.h"

#include <cstddef>

static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEEX) == 84, "the device's extended open-file record");

BOOL WINAPI GetOpenFileNameEx(LPOPENFILENAMEEX request) {
  if (!request || request->lStructSize < offsetof(OPENFILENAMEEX, dwSortOrder)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OPENFILENAMEW plain = {};
  plain.lStructSize = sizeof plain;
  plain.hwndOwner = request->hwndOwner;
  plain.hInstance = request->hInstance;
  plain.lpstrFilter = request->lpstrFilter;
  plain.nFilterIndex = request->nFilterIndex;
  plain.lpstrFile = request->lpstrFile;
  plain.nMaxFile = request->nMaxFile;
  plain.lpstrFileTitle = request->lpstrFileTitle;
  plain.nMaxFileTitle = request->nMaxFileTitle;
  plain.lpstrInitialDir = request->lpstrInitialDir;
  plain.lpstrTitle = request->lpstrTitle;
  plain.lpstrDefExt = request->lpstrDefExt;
  // The device's dialog lets a folder be chosen by typing its name: no existence checks here,
  // the caller checks what it was given.
  plain.Flags = (request->Flags & ~(OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ENABLEHOOK)) | OFN_EXPLORER |
                OFN_NOVALIDATE | OFN_HIDEREADONLY;
  const BOOL chosen = GetOpenFileNameW(&plain);
  request->nFileOffset = plain.nFileOffset;
  request->nFileExtension = plain.nFileExtension;
  request->nFilterIndex = plain.nFilterIndex;
  return chosen;
}

HRESULT WINAPI SHCameraCapture(PSHCAMERACAPTURE request) {
  if (!request || request->cbSize < sizeof(SHCAMERACAPTURE)) return E_INVALIDARG;
  // The emulated device has no camera.
  return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
}
