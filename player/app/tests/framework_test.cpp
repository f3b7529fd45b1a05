// The window framework on the real platform (Wine): binding of objects to windows, dialogs,
// property sheets, the input panel, the worker thread, the registry wrapper and helpers.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/shell/aygshell.h"
#include "player/app/api_frame_wnd.h"
#include "player/base/api_helpers.h"
#include "player/base/api_multipage_dialog.h"
#include "player/app/api_registry.h"
#include "player/app/main_app.h"
#include "player/app/memory_settings_store.h"
#include "player/base/worker_thread.h"

using namespace crv;

namespace {

HINSTANCE Self() { return GetModuleHandleW(nullptr); }

const wchar_t* TestClass() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = SharedWindowProc;
    wc.hInstance = Self();
    wc.lpszClassName = L"CRV_TEST_CLASS";
    registered = RegisterClassW(&wc) != 0;
  }
  return L"CRV_TEST_CLASS";
}

class ProbeWnd : public ApiWnd {
 public:
  int created = 0, finals = 0, pings = 0;
  bool createdWithRecord = false;
  LRESULT OnCreate(CREATESTRUCTW* create) override {
    ++created;
    createdWithRecord = create != nullptr;
    return 0;
  }
  void OnFinalMessage() override { ++finals; }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_USER + 1) {
      ++pings;
      return 77;
    }
    return ApiWnd::WindowProc(message, wParam, lParam);
  }
};

bool SipIsUp() {
  SIPINFO info{sizeof info};
  SHSipInfo(SPI_GETSIPINFO, 0, &info, 0);
  return (info.fdwFlags & SIPF_ON) != 0;
}

}  // namespace

TEST(Dispatcher, BindsTheObjectUntilTheFinalMessage) {
  ProbeWnd probe;
  RECT r{0, 0, 50, 50};
  ASSERT_TRUE(probe.Create(TestClass(), WS_POPUP, &r, nullptr, 0, Self()));
  HWND window = probe.Handle();
  EXPECT_EQ(probe.created, 1);
  EXPECT_TRUE(probe.createdWithRecord);
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&probe));
  EXPECT_EQ(SendMessageW(window, WM_USER + 1, 0, 0), 77);

  SendMessageW(window, kMsgFinal, 0, 0);
  EXPECT_EQ(probe.finals, 1);
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), 0);
  SendMessageW(window, WM_USER + 1, 0, 0);
  EXPECT_EQ(probe.pings, 1) << "after 0x7FFF the window no longer reaches the object";
  DestroyWindow(window);
  EXPECT_EQ(probe.finals, 1);
}

TEST(Dispatcher, DestroyingAWindowEndsWithTheFinalMessage) {
  ProbeWnd probe;
  ASSERT_TRUE(probe.Create(TestClass(), WS_POPUP, nullptr, nullptr, 0, Self()));
  DestroyWindow(probe.Handle());
  EXPECT_EQ(probe.finals, 1);
}

TEST(Dispatcher, AForeignClassIsAttachedBySubclassing) {
  ProbeWnd probe;
  ASSERT_TRUE(probe.Create(L"STATIC", WS_POPUP, nullptr, nullptr, 0, Self()));
  HWND window = probe.Handle();
  EXPECT_EQ(probe.created, 1);
  EXPECT_FALSE(probe.createdWithRecord);
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(SharedWindowProc));
  EXPECT_EQ(SendMessageW(window, WM_USER + 1, 0, 0), 77);
  SetWindowTextW(window, L"still a static");  // the saved procedure still does the work
  wchar_t text[32];
  GetWindowTextW(window, text, 32);
  EXPECT_STREQ(text, L"still a static");
  SendMessageW(window, kMsgFinal, 0, 0);
  EXPECT_NE(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(SharedWindowProc));
  DestroyWindow(window);
}

namespace {

class CountedDialog : public ApiDialog {
 public:
  static int alive;
  int commandToSend = 0;
  CountedDialog(UINT id) : ApiDialog(id, nullptr, Self()) { ++alive; }
  ~CountedDialog() override { --alive; }
  BOOL OnInitDialog() override {
    ApiDialog::OnInitDialog();
    if (commandToSend) PostMessageW(window_, WM_COMMAND, commandToSend, 0);
    return TRUE;
  }
};
int CountedDialog::alive = 0;

}  // namespace

TEST(Dialog, ModelessDeletesItselfWhenItsWindowIsGone) {
  auto* dialog = new CountedDialog(200);
  HWND window = dialog->CreateModeless();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(CountedDialog::alive, 1);
  SendMessageW(window, WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(CountedDialog::alive, 0);
}

TEST(Dialog, ModalEndsWithTheCommandAndIsKeptByItsOwner) {
  for (int command : {IDOK, IDCANCEL, 8}) {
    CountedDialog dialog(200);
    dialog.commandToSend = command;
    EXPECT_EQ(dialog.DoModal(), command);
    EXPECT_EQ(CountedDialog::alive, 1);
  }
  EXPECT_EQ(CountedDialog::alive, 0);
  CountedDialog missing(999);
  EXPECT_EQ(missing.DoModal(), -1) << "a missing template is the platform's failure";
}

TEST(Dialog, InputPanelFollowsFocusOfEditableFields) {
  auto* dialog = new CountedDialog(200);
  HWND window = dialog->CreateModeless();
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  // The dialog put the focus on its first field when it opened: start from one that has
  // nothing to type, so every step below is a real change of focus.
  SetFocus(GetDlgItem(window, 1003));
  SHSipPreference(window, SIP_DOWN);

  SetFocus(GetDlgItem(window, 1001));
  EXPECT_TRUE(SipIsUp()) << "an editable edit raises the panel";
  SetFocus(GetDlgItem(window, 1002));
  EXPECT_FALSE(SipIsUp()) << "leaving it lowers the panel; a read-only edit does not raise it";
  SetFocus(GetDlgItem(window, 1003));
  EXPECT_FALSE(SipIsUp()) << "a drop-down list has nothing to type";
  SetFocus(GetDlgItem(window, 1004));
  EXPECT_TRUE(SipIsUp()) << "an editable combo box raises the panel";
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(SipIsUp()) << "closing lowers the panel";
  EXPECT_EQ(CountedDialog::alive, 0);
}

namespace {

class Page : public ApiDialog {
 public:
  int oks = 0, activations = 0;
  bool pressOk = false;
  explicit Page(UINT id) : ApiDialog(id, nullptr, Self()) {}
  BOOL OnInitDialog() override {
    ApiDialog::OnInitDialog();
    if (pressOk) SetTimer(window_, 1, 300, nullptr);
    return TRUE;
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TIMER) {
      KillTimer(window_, 1);
      PostMessageW(GetParent(window_), PSM_PRESSBUTTON, PSBTN_OK, 0);
      return 0;
    }
    return ApiDialog::WindowProc(message, wParam, lParam);
  }
  BOOL OnCommand(WPARAM wParam, LPARAM) override {
    if (LOWORD(wParam) == IDOK) ++oks;
    if (LOWORD(wParam) == kCmdPageActive) ++activations;
    return TRUE;
  }
};

}  // namespace

TEST(MultipageDialog, OkSendsCommandOneToEveryCreatedPage) {
  Page first(201), second(202);
  first.pressOk = true;
  ApiMultipageDialog sheet(nullptr, Self(), L"Settings");
  sheet.AddPage(&first);
  sheet.AddPage(&second);
  EXPECT_TRUE(sheet.DoModal());
  EXPECT_EQ(first.oks, 1);
  EXPECT_EQ(second.oks, 1) << "pages are created at once, so the second one takes its values too";
  EXPECT_GE(first.activations, 1);
}

namespace {

DWORD Cooperative(WorkerThread* self, void*) {
  while (!self->StopRequested()) Sleep(10);
  return 5;
}
DWORD Stubborn(WorkerThread*, void* ticks) {
  for (;;) {
    InterlockedIncrement(static_cast<volatile LONG*>(ticks));
    Sleep(20);
  }
}

}  // namespace

TEST(WorkerThread, StopsACooperativeThreadAndEndsAStubbornOneAfterTheWait) {
  WorkerThread polite;
  ASSERT_TRUE(polite.Start(Cooperative, nullptr));
  EXPECT_EQ(polite.StateValue(), WorkerThread::kRunning);
  DWORD start = GetTickCount();
  polite.Stop();
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_EQ(polite.StateValue(), WorkerThread::kFinished);

  volatile LONG ticks = 0;
  WorkerThread stubborn;
  ASSERT_TRUE(stubborn.Start(Stubborn, const_cast<LONG*>(&ticks)));
  start = GetTickCount();
  stubborn.Stop();
  DWORD waited = GetTickCount() - start;
  EXPECT_GE(waited, 3500u);
  EXPECT_LT(waited, 6000u) << "Stop never waits much past 4000 ms";
  LONG after = ticks;
  Sleep(200);
  EXPECT_EQ(ticks, after) << "the thread was ended";
}

TEST(ApiRegistry, JoinsPathsAndWritesDefaultValues) {
  const wchar_t* base = L"Software\\CorvaneTests\\Join";
  {
    ApiRegistry key(base, HKEY_CURRENT_USER);
    ASSERT_TRUE(key.Open(L"Sub", TRUE));
    EXPECT_STREQ(key.Path(), L"Software\\CorvaneTests\\Join\\Sub");
    EXPECT_TRUE(key.WriteDword(u"n", 42));
    uint32_t n = 0;
    EXPECT_TRUE(key.ReadDword(u"n", &n));
    EXPECT_EQ(n, 42u);
  }
  {
    ApiRegistry reader(L"Software\\CorvaneTests\\Join\\", HKEY_CURRENT_USER);
    EXPECT_FALSE(reader.Open(L"Missing", FALSE)) << "reading never creates a key";
  }
  EXPECT_TRUE(ApiRegistry::WriteStringAt(HKEY_CURRENT_USER, L"Software\\CorvaneTests\\Join\\Cls", nullptr, L"jpgfile"));
  wchar_t value[32] = L"";
  LONG size = sizeof value;
  EXPECT_EQ(RegQueryValueW(HKEY_CURRENT_USER, L"Software\\CorvaneTests\\Join\\Cls", value, &size), ERROR_SUCCESS);
  EXPECT_STREQ(value, L"jpgfile");
  EXPECT_TRUE(ApiRegistry::WriteStringAt(HKEY_CURRENT_USER, L"Software\\CorvaneTests\\Join\\Cls", L"Content Type", L"JPG File"));
  EXPECT_TRUE(ApiRegistry::DeleteValueAt(HKEY_CURRENT_USER, L"Software\\CorvaneTests\\Join\\Cls", L"Content Type"));
  EXPECT_FALSE(ApiRegistry::DeleteValueAt(HKEY_CURRENT_USER, L"Software\\CorvaneTests\\Join\\Cls", L"Content Type"));
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\CorvaneTests\\Join");
}

TEST(RecentMenu, RebuildKeepsOtherItemsAndShowsThePlaceholderWhenEmpty) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 5000, L"Other");
  RecentFiles recent;
  FillRecentMenu(menu, recent, Self());
  ASSERT_EQ(GetMenuItemCount(menu), 2);
  EXPECT_EQ(GetMenuItemID(menu, 1), 24u);
  EXPECT_TRUE(GetMenuState(menu, 24, MF_BYCOMMAND) & MF_GRAYED);
  wchar_t text[64];
  GetMenuStringW(menu, 24, text, 64, MF_BYCOMMAND);
  EXPECT_STREQ(text, L"(no recent files)");

  MemorySettingsStore store;
  recent.Add(store, u"\\My Documents\\a.mab");
  recent.Add(store, u"\\My Documents\\Pictures\\b.jpg");
  FillRecentMenu(menu, recent, Self());
  ASSERT_EQ(GetMenuItemCount(menu), 3);
  EXPECT_EQ(GetMenuItemID(menu, 0), 32846u);
  EXPECT_EQ(GetMenuItemID(menu, 1), 32847u);
  EXPECT_EQ(GetMenuItemID(menu, 2), 5000u);
  GetMenuStringW(menu, 32846, text, 64, MF_BYCOMMAND);
  EXPECT_STREQ(text, L"&1 ...\\b.jpg");
  EXPECT_EQ(GetMenuState(menu, 24, MF_BYCOMMAND), static_cast<UINT>(-1)) << "the placeholder is gone";
  DestroyMenu(menu);
}

namespace {

class CountingApp : public ApiMainApp {
 public:
  using ApiMainApp::ApiMainApp;
  int idles = 0;
  // The first quiet moment ends the loop.
  void OnIdle() override {
    ++idles;
    PostQuitMessage(0);
  }
};

struct SeenBox {
  std::wstring caption, text;
};
SeenBox g_seen;
HHOOK g_hook;

// Answers a message box as soon as it is shown, remembering what it said.
LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    wchar_t text[512];
    GetWindowTextW(box, text, 512);
    wchar_t cls[16];
    GetClassNameW(box, cls, 16);
    if (lstrcmpW(cls, L"#32770") == 0) {
      g_seen.caption = text;
      GetDlgItemTextW(box, 0xFFFF, text, 512);
      g_seen.text = text;
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

TEST(MainApp, IdleRuleAndLoop) {
  CountingApp app(Self(), L"A name longer than sixty-three characters is cut to fit the field ok");
  EXPECT_EQ(lstrlenW(app.Name()), 63);
  MSG paint{nullptr, WM_PAINT}, blink{nullptr, 0x118}, key{nullptr, WM_KEYDOWN};
  EXPECT_FALSE(app.IsIdleMessage(paint));
  EXPECT_FALSE(app.IsIdleMessage(blink));
  EXPECT_TRUE(app.IsIdleMessage(key));
  MSG move{nullptr, WM_MOUSEMOVE};
  move.pt = POINT{10, 20};
  EXPECT_TRUE(app.IsIdleMessage(move));
  EXPECT_FALSE(app.IsIdleMessage(move)) << "a mouse that did not move is no activity";
  move.pt.x = 11;
  EXPECT_TRUE(app.IsIdleMessage(move));

  ProbeWnd window;
  ASSERT_TRUE(window.Create(TestClass(), WS_POPUP, nullptr, nullptr, 0, Self()));
  PostMessageW(window.Handle(), WM_USER + 1, 0, 0);
  EXPECT_EQ(app.Run(window.Handle()), 0);
  EXPECT_EQ(window.pings, 1) << "waiting messages are handled before the idle call";
  EXPECT_EQ(app.idles, 1);
  DestroyWindow(window.Handle());
}

TEST(Helpers, StringsAndMessagesFromTheStringTable) {
  const wchar_t* shared = LoadResString(485, nullptr, 0, Self());
  EXPECT_STREQ(shared, L"(no recent files)");
  EXPECT_EQ(LoadResString(9999, nullptr, 0, Self()), shared) << "one process-wide buffer";
  EXPECT_STREQ(shared, L"");

  g_hook = SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId());
  ShowResMessage(nullptr, Self(), MB_OK, 0, 485);
  UnhookWindowsHookEx(g_hook);
  EXPECT_EQ(g_seen.caption, L"ERROR") << "string 412 is absent here, so the caption falls back";
  EXPECT_EQ(g_seen.text, L"(no recent files)");
}
