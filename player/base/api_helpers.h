// Small helpers of the framework: strings, messages, the message pump and the help viewer.
#pragma once
#include <windows.h>

namespace crv {

// String `id` of the string table. Without a buffer the text goes to one process-wide
// buffer of 256 characters, overwritten by the next such call. `instance` defaults to the
// application object's.
const wchar_t* LoadResString(UINT id, wchar_t* buffer = nullptr, int capacity = 0, HINSTANCE instance = nullptr);

// Formats string `formatId` with the arguments and shows it with caption `captionId`
// (412 when 0; "ERROR" when that string is empty).
int ShowResMessage(HWND window, HINSTANCE instance, UINT flags, UINT captionId, UINT formatId, ...);

// Registers a window class of the framework (SharedWindowProc, the arrow cursor) once; true
// when it is registered, now or before.
bool RegisterFrameworkClass(HINSTANCE instance, const wchar_t* name, UINT style = 0, HBRUSH background = nullptr);

// Dispatches every waiting message without blocking.
void PumpMessages();

// Starts the help viewer: "PegHelp.exe file:FILE[#TOPIC]".
BOOL OpenHelp(HWND window, const wchar_t* file, const wchar_t* topic);

// The program's own folder with a trailing backslash, e.g. "\Program Files\Corvane Cinema\".
void ProgramFolder(wchar_t* buffer, DWORD capacity);

}  // namespace crv
