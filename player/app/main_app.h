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

  HINSTANCE InstanceHandle() const { return m_hInstance; }
  const wchar_t* Name() const { return m_name; }
  HWND MainWindow() const { return m_mainWindow; }
  static ApiMainApp* Instance() { return s_app; }

 protected:
  HINSTANCE m_hInstance;
  wchar_t m_name[64];
  HWND m_mainWindow = nullptr;

 private:
  static ApiMainApp* s_app;
};

class MainApp : public ApiMainApp {
 public:
  using ApiMainApp::ApiMainApp;
  void OnIdle() override;
  ~MainApp() override = default;
};

}  // namespace crv
