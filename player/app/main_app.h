// The application object and its message loop.
#pragma once
#include <windows.h>

namespace crv {

class ApiMainApp {
 public:
  ApiMainApp(HINSTANCE instance, const wchar_t* name);
  virtual void OnIdle() {}
  virtual BOOL IsIdleMessage(const MSG& msg);
  virtual ~ApiMainApp();

  // Runs the loop with `mainWindow` until the quit message; returns 0.
  int Run(HWND mainWindow);

  HINSTANCE InstanceHandle() const { return instance_; }
  const wchar_t* Name() const { return name_; }
  HWND MainWindow() const { return mainWindow_; }

 protected:
  HINSTANCE instance_;
  wchar_t name_[64];
  HWND mainWindow_ = nullptr;
};

// The application object of the process while one exists (the last constructed), else null.
ApiMainApp* TheMainApp();

class MainApp : public ApiMainApp {
 public:
  using ApiMainApp::ApiMainApp;
  void OnIdle() override;
  ~MainApp() override = default;
};

}  // namespace crv
