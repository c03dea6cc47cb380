// The application's exception-notify handler faults while it runs in the
// raising thread (a worker, which holds the notify lock and the callback
// slot's lock meanwhile): that thread ends, its report is finished without
// it, and the next exception of the process is reported after it, whole.
// expect: exit=0
// expect: reports=2
// expect: type=EConvertError
// expect: stack=NotifyHandlerFault.cpp||Parse*|2?
// expect: output=main goes on
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "reporter/pipeline/EventHandlers.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "runtime/Exceptions.h"

std::atomic<bool> faulted{false};

__attribute__((noinline)) void ParseFirst() {
  throw EConvertError("First frame");
}

__attribute__((noinline)) void ParseSecond() {
  throw EConvertError("Second frame");
}

DWORD WINAPI FirstWorker(LPVOID) {
  ParseFirst();
  return 0;
}

DWORD WINAPI SecondWorker(LPVOID) {
  ParseSecond();
  return 0;
}

int main() {
  SetGlobalExceptionNotify([](TVexlorExceptionRecord&, bool&) {
    if (faulted.exchange(true)) return;
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
  });
  HANDLE first = CreateThread(nullptr, 0, &FirstWorker, nullptr, 0, nullptr);
  WaitForSingleObject(first, INFINITE);
  CloseHandle(first);

  // At once: the first report may still be under way.
  HANDLE second = CreateThread(nullptr, 0, &SecondWorker, nullptr, 0, nullptr);
  WaitForSingleObject(second, INFINITE);
  CloseHandle(second);
  std::printf("main goes on\n");
  return 0;
}
