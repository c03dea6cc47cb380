// The thread object on CreateThread, created suspended; whatever escapes
// Execute is kept instead of ending the process.
#include "runtime/Thread.h"

TThread::TThread(bool CreateSuspended) {
  handle_ = CreateThread(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &threadId_);
  if (!CreateSuspended) Start();
}

TThread::~TThread() {
  if (handle_) {
    if (!finished_ && GetCurrentThreadId() != threadId_) {
      Terminate();
      if (!started_) Start();
      WaitForSingleObject(handle_, INFINITE);
    }
    CloseHandle(handle_);
  }
}

void TThread::Start() {
  if (started_ || !handle_) return;
  started_ = true;
  ResumeThread(handle_);
}

DWORD TThread::WaitFor() {
  if (handle_ && GetCurrentThreadId() != threadId_) WaitForSingleObject(handle_, INFINITE);
  DWORD code = 0;
  if (handle_) GetExitCodeThread(handle_, &code);
  return code;
}

DWORD WINAPI TThread::ThreadProc(LPVOID self) {
  auto* thread = static_cast<TThread*>(self);
  try {
    // A thread freed before it was started is only resumed so that it can
    // end: its derived part is gone, Execute must not run.
    if (!thread->Terminated()) thread->Execute();
  } catch (...) {
    thread->fatal_ = std::current_exception();
  }
  DWORD result = thread->ReturnValue;
  bool freeIt = thread->FreeOnTerminate;
  thread->finished_ = true;
  if (freeIt) delete thread;
  return result;
}
