// A background thread that is asked to stop through its state and, when it does not,
// is ended after 4000 ms.
#pragma once
#include <windows.h>

namespace crv {

class WorkerThread {
 public:
  enum State : LONG { kFinished = 0, kStopRequested = 1, kRunning = 2 };
  using Procedure = DWORD (*)(WorkerThread* thread, void* argument);
  static constexpr DWORD kStopWaitMs = 4000;

  ~WorkerThread() { Stop(); }

  // Priority 3 keeps the default priority.
  BOOL Start(Procedure procedure, void* argument, int priority = 3);
  void Stop();
  bool StopRequested() const { return m_state != kRunning; }
  LONG StateValue() const { return m_state; }
  bool IsRunning() const { return m_thread && m_state != kFinished; }

 private:
  static DWORD WINAPI Entry(void* self);

  Procedure m_procedure = nullptr;
  void* m_argument = nullptr;
  HANDLE m_thread = nullptr;
  DWORD m_threadId = 0;
  volatile LONG m_state = kFinished;
};

}  // namespace crv
