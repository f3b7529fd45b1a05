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
  static constexpr int kKeepPriority = 3;  // Start leaves the thread's priority as created

  ~WorkerThread() { Stop(); }

  BOOL Start(Procedure procedure, void* argument, int priority = kKeepPriority);
  void Stop();
  bool StopRequested() const { return state_ != kRunning; }
  LONG StateValue() const { return state_; }
  bool IsRunning() const { return thread_ && state_ != kFinished; }

 private:
  static DWORD WINAPI Entry(void* self);

  Procedure procedure_ = nullptr;
  void* argument_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  volatile LONG state_ = kFinished;
};

}  // namespace crv
