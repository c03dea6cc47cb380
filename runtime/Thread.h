// A thread object: Execute runs in a thread made with CreateThread. Nothing
// that escapes Execute leaves the thread; it is kept in FatalException.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>

class TThread {
 public:
  // A suspended thread waits for Start. A derived class passes true and calls
  // Start at the end of its own constructor: started from here (false), the
  // thread may call Execute before the derived part of the object exists.
  explicit TThread(bool CreateSuspended);
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Start();
  void Terminate() { terminated_ = true; }
  // Waits for the thread to end and returns its exit code.
  DWORD WaitFor();

  HANDLE Handle() const { return handle_; }
  DWORD ThreadID() const { return threadId_; }
  bool Finished() const { return finished_; }
  std::exception_ptr FatalException() const { return fatal_; }
  // The thread deletes its object when Execute has ended.
  bool FreeOnTerminate = false;
  DWORD ReturnValue = 0;

 protected:
  virtual void Execute() = 0;
  bool Terminated() const { return terminated_; }

 private:
  static DWORD WINAPI ThreadProc(LPVOID self);
  HANDLE handle_ = nullptr;
  DWORD threadId_ = 0;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool started_ = false;
  std::exception_ptr fatal_;
};
