// A thread's end as the reporter sees it: the reporter runs the thread's
// thread_local destructors itself, while their objects still exist, and
// tells whether the calling thread is ending.
#include "reporter/capture/ThreadEnd.h"

#include <pthread.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "reporter/config/ThreadSlot.h"
#include "reporter/interception/FrameWalkWin.h"

namespace {

// PEB.LoaderLock (x64) and the owner field of a critical section.
constexpr std::uint32_t kPebOffset = 0x60;
constexpr std::uintptr_t kPebLoaderLock = 0x110;

// One thread_local object's destructor; a thread's list holds the newest
// first. The module holding the destructor is pinned until it has run.
struct TThreadEndCall {
  void (*Destructor)(void*);
  void* Object;
  HMODULE Module;
  TThreadEndCall* Next;
};

const TVexlorThreadWord threadEndCalls;
// Set once the thread runs its first thread_local destructor.
const TVexlorThreadWord runningThreadLocalDestructors;

// thread_local objects live in blocks of the compiler's emulated TLS, which
// frees a thread's blocks from a key of the threads library. The C++
// runtime's own thread-end list hangs on a key made after that one, at the
// first registration, and the threads library runs a thread's key
// destructors in the order the keys were made: every destructor would run on
// a freed object. This key is made before any code of the module runs, so
// it comes first, and its destructor runs the list while the blocks exist.
pthread_key_t threadEndKey;
std::atomic<bool> threadEndKeyMade{false};
std::atomic<bool> exitRunRegistered{false};

void RunCall(const TThreadEndCall& call) {
  call.Destructor(call.Object);
  if (call.Module) FreeLibrary(call.Module);
}

// Newest first, and those registered meanwhile (a destructor that touches
// another thread_local object) as well.
void RunThreadEndCalls() {
  while (auto* call = reinterpret_cast<TThreadEndCall*>(threadEndCalls.Get())) {
    runningThreadLocalDestructors.Set(1);
    threadEndCalls.Set(reinterpret_cast<std::uintptr_t>(call->Next));
    const TThreadEndCall copy = *call;
    delete call;
    RunCall(copy);
  }
}

void RunThreadEndCallsOfKey(void*) {
  RunThreadEndCalls();
}

// One call handed to the C++ runtime's own list (no key could be had).
void RunRuntimeListCall(void* parameter) {
  runningThreadLocalDestructors.Set(1);
  const TThreadEndCall call = *static_cast<TThreadEndCall*>(parameter);
  delete static_cast<TThreadEndCall*>(parameter);
  RunCall(call);
}

void NTAPI MakeThreadEndKey(PVOID, DWORD reason, PVOID) {
  if (reason != DLL_PROCESS_ATTACH || threadEndKeyMade.load()) return;
  threadEndKeyMade = pthread_key_create(&threadEndKey, &RunThreadEndCallsOfKey) == 0;
  // An ending thread need not make them.
  threadEndCalls.Prepare();
  runningThreadLocalDestructors.Prepare();
  // Below the destructor in a report's call stack, where the program's own
  // thread end is what the reader looks for.
  SetThreadEndRunnerFunction(0, reinterpret_cast<const void*>(&RunThreadEndCalls));
  SetThreadEndRunnerFunction(1, reinterpret_cast<const void*>(&RunRuntimeListCall));
}

bool HoldsLoaderLock() {
  std::uintptr_t peb = 0;
  asm volatile("movq %%gs:(%1), %0" : "=r"(peb) : "r"(std::uint64_t{kPebOffset}));
  if (peb == 0) return false;
  const auto* lock = *reinterpret_cast<RTL_CRITICAL_SECTION* const*>(peb + kPebLoaderLock);
  return lock && reinterpret_cast<std::uintptr_t>(lock->OwningThread) == GetCurrentThreadId();
}

}  // namespace

// At process start, before the entry point: no thread-local storage of the
// module exists yet.
extern "C" __attribute__((section(".CRT$XLB"), used))
const PIMAGE_TLS_CALLBACK vexlorMakeThreadEndKey = &MakeThreadEndKey;

extern "C" int __real___cxa_thread_atexit(void (*destructor)(void*), void* object, void* dso);

// Every thread_local destructor's registration (the link step wraps it).
extern "C" int __wrap___cxa_thread_atexit(void (*destructor)(void*), void* object, void* dso) {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(destructor),
                     &module);
  auto* call = new (std::nothrow) TThreadEndCall{destructor, object, module, nullptr};
  if (!call) {
    if (module) FreeLibrary(module);
    return __real___cxa_thread_atexit(destructor, object, dso);
  }
  // The key's value only makes the threads library call its destructor.
  if (!threadEndKeyMade.load() || pthread_setspecific(threadEndKey, &threadEndKey) != 0)
    return __real___cxa_thread_atexit(&RunRuntimeListCall, call, dso);
  call->Next = reinterpret_cast<TThreadEndCall*>(threadEndCalls.Get());
  threadEndCalls.Set(reinterpret_cast<std::uintptr_t>(call));
  // The thread that ends the process runs its list from exit, as the C++
  // runtime's own list did.
  if (!exitRunRegistered.exchange(true)) std::atexit(&RunThreadEndCalls);
  return 0;
}

bool ThisThreadIsEnding() {
  return runningThreadLocalDestructors.Get() != 0 || HoldsLoaderLock();
}
