// The safe-call mark as a four-byte named file mapping, set and consumed with
// interlocked operations.
#include "reporter/interception/SafeCallMark.h"

#include <windows.h>

#include <atomic>

namespace {

constexpr char kMarkName[] = "VEXLORLOG_SAFECALLS_LIST";
HANDLE mapping = nullptr;
std::atomic<volatile LONG*> mark{nullptr};

}  // namespace

bool OpenSafeCallMark() {
  if (mark) return true;
  mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, kMarkName);
  if (!mapping) return false;
  auto* view = static_cast<volatile LONG*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 4));
  if (!view) {
    CloseHandle(mapping);
    mapping = nullptr;
    return false;
  }
  InterlockedExchange(view, 0);
  mark = view;
  return true;
}

void CloseSafeCallMark() {
  if (volatile LONG* view = mark.exchange(nullptr)) UnmapViewOfFile(const_cast<LONG*>(view));
  if (mapping) CloseHandle(mapping);
  mapping = nullptr;
}

void SetSafeCallMark() {
  if (volatile LONG* view = mark.load()) InterlockedExchange(view, 1);
}

bool ConsumeSafeCallMark() {
  volatile LONG* view = mark.load();
  return view && InterlockedCompareExchange(view, 0, 1) == 1;
}
