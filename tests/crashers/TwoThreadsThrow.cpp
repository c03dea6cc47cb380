// Two threads raise at the same moment: two reports, one after the other.
// expect: exit=0
// expect: reports=2
// expect: type=EConvertError
// expect: message=Bad frame.
// expect: stack=TwoThreadsThrow.cpp||ParseFrame|@raise
#include <windows.h>

#include "runtime/Exceptions.h"

HANDLE start = nullptr;

__attribute__((noinline)) void ParseFrame() {
  throw EConvertError("Bad frame");  // mark: raise
}

DWORD WINAPI Worker(LPVOID) {
  WaitForSingleObject(start, INFINITE);
  ParseFrame();
  return 0;
}

int main() {
  start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE threads[2];
  for (HANDLE& thread : threads) thread = CreateThread(nullptr, 0, &Worker, nullptr, 0, nullptr);
  Sleep(100);
  SetEvent(start);
  WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  for (HANDLE thread : threads) CloseHandle(thread);
  CloseHandle(start);
  return 0;
}
