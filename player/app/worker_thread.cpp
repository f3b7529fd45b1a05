#include "player/app/worker_thread.h"

namespace crv {

DWORD WINAPI WorkerThread::Entry(void* self) {
  auto* thread = static_cast<WorkerThread*>(self);
  DWORD result = thread->m_procedure(thread, thread->m_argument);
  InterlockedExchange(&thread->m_state, kFinished);
  return result;
}

BOOL WorkerThread::Start(Procedure procedure, void* argument, int priority) {
  Stop();
  m_procedure = procedure;
  m_argument = argument;
  m_state = kRunning;
  m_thread = CreateThread(nullptr, 0, Entry, this, CREATE_SUSPENDED, &m_threadId);
  if (!m_thread) {
    m_state = kFinished;
    return FALSE;
  }
  if (priority != 3) SetThreadPriority(m_thread, priority);
  ResumeThread(m_thread);
  return TRUE;
}

void WorkerThread::Stop() {
  if (!m_thread) return;
  if (m_state == kRunning) InterlockedExchange(&m_state, kStopRequested);
  if (WaitForSingleObject(m_thread, kStopWaitMs) == WAIT_TIMEOUT) {
    TerminateThread(m_thread, 1);
    WaitForSingleObject(m_thread, 500);
  }
  CloseHandle(m_thread);
  m_thread = nullptr;
  m_state = kFinished;
}

}  // namespace crv
