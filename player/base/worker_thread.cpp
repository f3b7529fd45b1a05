#include "player/base/worker_thread.h"

namespace crv {

DWORD WINAPI WorkerThread::Entry(void* self) {
  auto* thread = static_cast<WorkerThread*>(self);
  DWORD result = thread->procedure_(thread, thread->argument_);
  InterlockedExchange(&thread->state_, kFinished);
  return result;
}

BOOL WorkerThread::Start(Procedure procedure, void* argument, int priority) {
  Stop();
  procedure_ = procedure;
  argument_ = argument;
  state_ = kRunning;
  thread_ = CreateThread(nullptr, 0, Entry, this, CREATE_SUSPENDED, &threadId_);
  if (!thread_) {
    state_ = kFinished;
    return FALSE;
  }
  if (priority != kKeepPriority) SetThreadPriority(thread_, priority);
  ResumeThread(thread_);
  return TRUE;
}

void WorkerThread::Stop() {
  if (!thread_) return;
  if (state_ == kRunning) InterlockedExchange(&state_, kStopRequested);
  if (WaitForSingleObject(thread_, kStopWaitMs) == WAIT_TIMEOUT) {
    TerminateThread(thread_, 1);
    WaitForSingleObject(thread_, 500);
  }
  CloseHandle(thread_);
  thread_ = nullptr;
  state_ = kFinished;
}

}  // namespace crv
