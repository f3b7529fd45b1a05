// The device's help viewer: "PegHelp.exe file:PATH[#topic]". Shows the help document's
// text full screen under the navigation bar; the topic's anchor is scrolled into view.
#include <string>

#include "platform/shell/aygshell.h"

namespace {

std::wstring ReadDocument(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return L"The help file \"" + path + L"\" could not be opened.";
  std::string bytes;
  char chunk[4096];
  DWORD got = 0;
  while (bytes.size() < (4u << 20) && ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) bytes.append(chunk, got);
  CloseHandle(file);
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], n);
  return text;
}

// Plain text of an HTML page: tags dropped, block ends as line breaks, a few entities.
// Anchors "<a name=topic>" become a marker so the topic can be found.
std::wstring PlainText(const std::wstring& html, const std::wstring& topic, size_t* topicAt) {
  std::wstring out;
  *topicAt = std::wstring::npos;
  for (size_t i = 0; i < html.size();) {
    if (html[i] == L'<') {
      size_t end = html.find(L'>', i);
      if (end == std::wstring::npos) break;
      std::wstring tag = html.substr(i + 1, end - i - 1);
      for (auto& c : tag) c = towlower(c);
      if (!topic.empty() && *topicAt == std::wstring::npos && tag.find(L"name=") != std::wstring::npos &&
          tag.find(topic) != std::wstring::npos)
        *topicAt = out.size();
      if (tag.rfind(L"/p", 0) == 0 || tag.rfind(L"br", 0) == 0 || tag.rfind(L"/h", 0) == 0 ||
          tag.rfind(L"/li", 0) == 0 || tag.rfind(L"/tr", 0) == 0)
        out += L"\r\n";
      i = end + 1;
    } else if (html[i] == L'&') {
      static const struct { const wchar_t* name; wchar_t ch; } entities[] = {
          {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&nbsp;", L' '}};
      bool done = false;
      for (const auto& e : entities)
        if (html.compare(i, wcslen(e.name), e.name) == 0) {
          out += e.ch;
          i += wcslen(e.name);
          done = true;
          break;
        }
      if (!done) out += html[i++];
    } else if (html[i] == L'\r' || html[i] == L'\n') {
      if (!out.empty() && out.back() != L' ' && out.back() != L'\n') out += L' ';
      ++i;
    } else {
      out += html[i++];
    }
  }
  return out;
}

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: {
      HWND edit = GetDlgItem(window, 100);
      if (edit) MoveWindow(edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) DestroyWindow(window);
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  SHInitExtraControls();
  std::wstring arg = commandLine ? commandLine : L"";
  if (arg.rfind(L"file:", 0) == 0) arg = arg.substr(5);
  std::wstring topic;
  size_t hash = arg.find(L'#');
  if (hash != std::wstring::npos) {
    topic = arg.substr(hash + 1);
    for (auto& c : topic) c = towlower(c);
    arg = arg.substr(0, hash);
  }
  size_t topicAt = 0;
  std::wstring text = PlainText(ReadDocument(arg), topic, &topicAt);

  WNDCLASSW wc{};
  wc.lpfnWndProc = ViewerProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = L"PEGHELP_CLASS";
  RegisterClassW(&wc);
  RECT area;
  SHGetVisibleDesktop(&area);
  area.bottom = GetSystemMetrics(SM_CYSCREEN);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"Help", WS_POPUP | WS_VISIBLE, area.left, area.top,
                                area.right - area.left, area.bottom - area.top, nullptr, nullptr, instance, nullptr);
  HWND edit = CreateWindowExW(0, L"EDIT", text.c_str(),
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
                              area.right - area.left, area.bottom - area.top, window,
                              reinterpret_cast<HMENU>(100), instance, nullptr);
  if (topicAt != std::wstring::npos) {
    SendMessageW(edit, EM_SETSEL, topicAt, topicAt);
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
  }
  SHDoneButton(window, SHDB_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
