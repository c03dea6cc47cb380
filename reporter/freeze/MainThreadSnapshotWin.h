// The frozen main thread as it stood at one moment: its registers and a copy
// of the part of its stack that the report's stack scan reads. The thread is
// suspended only while both are read; the report is then built from the copy
// with the thread running again, so that it never waits for a lock (the heap,
// a reporter lock) that the thread held when it was stopped.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Finds the system's own ResumeThread, past the reporter's hook on the
// program's import of it (which takes the threads list's lock and writes the
// trace). Called when the watcher starts, not while a thread may hold the
// loader's lock.
void PrepareMainThreadSnapshot();

class TMainThreadSnapshot {
 public:
  TMainThreadSnapshot() = default;
  ~TMainThreadSnapshot();
  TMainThreadSnapshot(const TMainThreadSnapshot&) = delete;
  TMainThreadSnapshot& operator=(const TMainThreadSnapshot&) = delete;

  // Suspends the thread, reads its full context and copies its stack from
  // the stack pointer up to stackBase (at most the scan's reach), resumes it.
  // False when the thread could not be suspended or its context read, or
  // when the instruction or stack pointer is 0.
  bool Take(HANDLE thread, std::uintptr_t stackBase);

  const CONTEXT& Context() const { return context_; }
  // The copy: [CopyStart, CopyStart + CopySize), standing for the thread's
  // stack from Context().Rsp on. Empty when the stack pointer lay outside
  // the thread's stack (the copy is then not taken).
  std::uintptr_t CopyStart() const { return reinterpret_cast<std::uintptr_t>(buffer_); }
  std::size_t CopySize() const { return copied_; }

 private:
  CONTEXT context_{};
  void* buffer_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t copied_ = 0;
};
