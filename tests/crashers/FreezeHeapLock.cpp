// A main thread frozen while it holds the heap locks nearly all the time (the
// C runtime's heap and the process heap): the watcher stops it inside them.
// The report, which allocates, must still come, because it is built after the
// main thread was let go again.
// expect: gui
// expect: exit=0
// expect: reports=1+
// expect: type=EFrozenApplication
// expect: message=The application seems to be frozen.
#include <windows.h>

#include <malloc.h>

#include "runtime/Forms.h"
#include "tests/crashers/FreezeProgram.h"
#include "tests/crashers/GuiReportFile.h"

namespace {

void Spin(double ms) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  do {
    QueryPerformanceCounter(&now);
  } while (static_cast<double>(now.QuadPart - start.QuadPart) * 1000 <
           ms * static_cast<double>(frequency.QuadPart));
}

}  // namespace

// Holds both locks for 20 ms at a time, with a short gap in which other
// threads get their turn.
__attribute__((noinline)) void HoldHeapLocks(DWORD ms) {
  HANDLE heaps[] = {reinterpret_cast<HANDLE>(_get_heap_handle()), GetProcessHeap()};
  const ULONGLONG end = GetTickCount64() + ms;
  while (GetTickCount64() < end) {
    for (HANDLE heap : heaps) HeapLock(heap);
    Spin(20);
    for (HANDLE heap : heaps) HeapUnlock(heap);
    Sleep(1);
  }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  WriteReportsBesideExecutable();
  TApplication application;
  application.Initialize();
  if (!PumpUntilProbed()) return 2;
  HoldHeapLocks(3200);
  PumpMessagesFor(4000);
  return 0;
}
