// The window framework: every window and dialog of the player is an object bound to its
// window through the shared dispatcher, from WM_CREATE / WM_INITDIALOG (or subclassing)
// until the private message 0x7FFF that follows WM_DESTROY.
#pragma once
#include <windows.h>

#include <initializer_list>

namespace crv {

constexpr UINT kMsgFinal = 0x7FFF;        // sent to a window after its WM_DESTROY
constexpr UINT kCmdPageActive = 0x7FFE;   // property page became the active page
constexpr UINT kCmdHelp = 0xE146;         // property sheet help
constexpr UINT kCmdClose = 8;             // the shell's close button
constexpr UINT kCmdAppExit = 0xE141;      // ends the frame like kCmdClose
constexpr int kTitleLabelId = 700;        // a dialog's blue title label

// Window procedure and dialog procedure of every framework window.
LRESULT CALLBACK SharedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SharedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

class ApiWnd {
 public:
  ApiWnd() = default;
  ApiWnd(const ApiWnd&) = delete;
  ApiWnd& operator=(const ApiWnd&) = delete;

  virtual LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void OnFinalMessage() {}
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(int id, NMHDR* header, LRESULT* result) { return FALSE; }
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam) { return FALSE; }
  virtual BOOL OnInitMenuPopup(HMENU menu) { return FALSE; }
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual LRESULT OnCreate(CREATESTRUCTW* create) { return 0; }
  virtual BOOL SubclassDlgItem(int id, HWND dialog);
  virtual ~ApiWnd();

  // Creates the window with this object as creation parameter; a class with another
  // window procedure is attached by subclassing.
  BOOL Create(const wchar_t* className, DWORD style, const RECT* rect, HWND parent, UINT id, HINSTANCE instance);
  void SetBoldFont(int controlId);

  HWND Handle() const { return window_; }
  HINSTANCE Instance() const { return instance_; }
  bool IsWindowAlive() const { return window_ && ::IsWindow(window_); }

  // Binds a window to this object (the dispatcher's step on creation and subclassing).
  void Attach(HWND window);

 protected:
  WNDPROC prevProc_ = nullptr;  // set only when subclassing
  HFONT boldFont_ = nullptr;
  BOOL isDialog_ = FALSE;
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;

  friend LRESULT CALLBACK SharedWindowProc(HWND, UINT, WPARAM, LPARAM);
  friend INT_PTR CALLBACK SharedDialogProc(HWND, UINT, WPARAM, LPARAM);
};

class ApiDialog : public ApiWnd {
 public:
  ApiDialog(UINT templateId, HWND parent, HINSTANCE instance);

  void OnFinalMessage() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  BOOL OnInitDialog() override;
  ~ApiDialog() override = default;

  virtual INT_PTR DoModal();
  virtual void EndDialog(INT_PTR result);

  // Modeless: the dialog window exists until EndDialog, then deletes this object.
  HWND CreateModeless();

  WORD TemplateId() const { return templateId_; }
  HWND Parent() const { return parent_; }

 protected:
  HWND parent_;
  HWND titleLabel_ = nullptr;
  WORD templateId_;
  BOOL modeless_ = TRUE;
};

// Picks one of a dialog's three templates from the screen's shape: portrait, landscape, square.
UINT PickTemplate(UINT portrait, UINT landscape, UINT square);
// SHInitDialog with the size-full-screen flag added.
BOOL InitDialogFullScreen(HWND dialog, DWORD flags);
// A full-screen dialog ends where its soft-key bar begins, and the bar stays in front of it.
void FitDialogAboveMenuBar(HWND dialog, HWND menuBar);
// The soft-key bar of a full-screen dialog from the menu-bar resource `id`, the dialog fitted
// above it; null when it cannot be made.
HWND CreateDialogMenuBar(HWND dialog, HINSTANCE instance, UINT id);
// A full-screen dialog's controls `ids` keep their top and their left margin and take the
// dialog's width less that margin on both sides; `filler` also reaches down to the bottom less
// the margin. A report list view among them gets its one column as wide as the list leaves
// beside a scroll bar (no sideways scrolling).
void StretchDialogControls(HWND dialog, std::initializer_list<int> ids, int filler);

}  // namespace crv
