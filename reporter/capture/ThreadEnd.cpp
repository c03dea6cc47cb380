#include "reporter/capture/ThreadEnd.h"

#include <windows.h>

#include <cstdint>
#include <new>

#include "reporter/config/ThreadSlot.h"

namespace {

// PEB.LoaderLock (x64) and the owner field of a critical section.
constexpr std::uint32_t kPebOffset = 0x60;
constexpr std::uintptr_t kPebLoaderLock = 0x110;

// Set once the thread runs its first thread_local destructor.
const TVexlorThreadWord runningThreadLocalDestructors;

struct TThreadEndCall {
  void (*Destructor)(void*);
  void* Object;
};

void RunThreadEndCall(void* parameter) {
  runningThreadLocalDestructors.Set(1);
  const TThreadEndCall call = *static_cast<TThreadEndCall*>(parameter);
  delete static_cast<TThreadEndCall*>(parameter);
  call.Destructor(call.Object);
}

bool HoldsLoaderLock() {
  std::uintptr_t peb = 0;
  asm volatile("movq %%gs:(%1), %0" : "=r"(peb) : "r"(std::uint64_t{kPebOffset}));
  if (peb == 0) return false;
  const auto* lock = *reinterpret_cast<RTL_CRITICAL_SECTION* const*>(peb + kPebLoaderLock);
  return lock && reinterpret_cast<std::uintptr_t>(lock->OwningThread) == GetCurrentThreadId();
}

}  // namespace

extern "C" int __real___cxa_thread_atexit(void (*destructor)(void*), void* object, void* dso);

// Every thread_local destructor's registration (the link step wraps it): the
// destructor runs through RunThreadEndCall, which marks the thread as ending.
extern "C" int __wrap___cxa_thread_atexit(void (*destructor)(void*), void* object, void* dso) {
  auto* call = new (std::nothrow) TThreadEndCall{destructor, object};
  if (!call) return __real___cxa_thread_atexit(destructor, object, dso);
  return __real___cxa_thread_atexit(&RunThreadEndCall, call, dso);
}

bool ThisThreadIsEnding() {
  return runningThreadLocalDestructors.Get() != 0 || HoldsLoaderLock();
}
