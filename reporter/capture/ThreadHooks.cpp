// The CreateThread, ResumeThread and ExitThread import hooks, and the wrapper
// every new thread's routine runs in.
#include "reporter/capture/ThreadHooks.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "reporter/config/Trace.h"
#include "reporter/debugdata/ForeignMemory.h"
#include "reporter/debugdata/ThreadsList.h"
#include "reporter/hooking/HooksWin.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/interception/ExceptionHandled.h"
#include "reporter/interception/FrameWalkWin.h"

namespace {

using TCreateThreadProc = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE,
                                          LPVOID, DWORD, LPDWORD);
using TResumeThreadProc = DWORD(WINAPI*)(HANDLE);
using TExitThreadProc = void(WINAPI*)(DWORD);

TCreateThreadProc realCreateThread = nullptr;
TResumeThreadProc realResumeThread = nullptr;
TExitThreadProc realExitThread = nullptr;
std::atomic<TVexlorThreadsList*> threadsList{nullptr};
std::atomic<LPTHREAD_START_ROUTINE> classLibraryThreadProc{nullptr};

// Room the stack keeps for the report of a stack overflow.
constexpr ULONG kStackGuarantee = 64 * 1024;

class TListLock {
 public:
  explicit TListLock(TVexlorThreadsList& list) : list_(list) { list_.Lock(); }
  ~TListLock() { list_.Unlock(); }
  TListLock(const TListLock&) = delete;
  TListLock& operator=(const TListLock&) = delete;

 private:
  TVexlorThreadsList& list_;
};

// The class of a class-library thread object, read through its type
// information; empty when the object is not readable.
void RememberThreadClass(const void* object, TThreadCaptureState& state) {
  const void* vtable = nullptr;
  const std::type_info* type = nullptr;
  if (!object || !ReadForeign(object, vtable) ||
      !ReadForeign(static_cast<const void* const*>(vtable) - 1, type)) {
    return;
  }
  const TVexlorExceptionObject typed{const_cast<void*>(object), type};
  if (!IsValidExceptionObject(typed)) return;
  const std::string name = DemangledTypeName(*type);
  std::snprintf(state.ThreadClassName, sizeof state.ThreadClassName, "%s", name.c_str());
}

// The class library's thread procedure, reached through the reporter's
// wrapper like every other thread routine.
DWORD RunClassLibraryThreadProc(LPTHREAD_START_ROUTINE start, LPVOID threadObject) {
  TraceEnter("HookedRTLThreadProc", {threadObject});
  const DWORD result = start(threadObject);
  TraceExit("HookedRTLThreadProc", {result});
  return result;
}

// The start routine of every thread created through the hook.
DWORD WINAPI HookedThreadProc(LPVOID parameter) {
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID startParameter = nullptr;
  void* threadObject = nullptr;
  if (TVexlorThreadsList* list = threadsList.load()) {
    TListLock lock(*list);
    const std::ptrdiff_t index = list->IndexOfThreadID(GetCurrentThreadId());
    if (index >= 0) {
      const TVexlorThreadInfo& info = list->Get(static_cast<std::size_t>(index));
      start = reinterpret_cast<LPTHREAD_START_ROUTINE>(info.StartAddress);
      startParameter = reinterpret_cast<LPVOID>(info.Parameter);
      threadObject = info.ThreadObject;
    }
  }
  static_cast<void>(parameter);
  if (!start) return 0;
  ULONG guarantee = kStackGuarantee;
  SetThreadStackGuarantee(&guarantee);
  if (threadObject) RememberThreadClass(threadObject, ThreadCaptureState());
  TraceEnter("HookedThreadProc", {reinterpret_cast<void*>(start), startParameter});
  DWORD result = 0;
  try {
    result =
        threadObject ? RunClassLibraryThreadProc(start, startParameter) : start(startParameter);
  } catch (...) {
    // Reported at its raise: nothing catches it in the thread's own code.
    result = 0;
  }
  TraceExit("HookedThreadProc", {result});
  // A thread that returns would otherwise keep its record, and the copy of
  // its creator's stack, until the end of the process.
  if (TVexlorThreadsList* list = threadsList.load()) list->RemoveThreadLocked(GetCurrentThreadId());
  return result;
}

namespace {

// Resumes a thread of the list with a copy of its creator's stack: from the
// slot holding the return address into the creator's code (`from`, the slot
// above the hook's own frame) up to the base of the creator's stack.
DWORD ResumeWithCreatorStack(HANDLE thread, const std::uint8_t* from) {
  TVexlorThreadsList* list = threadsList.load();
  if (ReporterFlags().Active && list) {
    TraceEnter("HookedResumeThread", {static_cast<void*>(thread)});
    TListLock lock(*list);
    const std::ptrdiff_t index = list->IndexOfHandle(reinterpret_cast<std::uintptr_t>(thread));
    if (index >= 0) {
      TVexlorThreadInfo& info = list->Get(static_cast<std::size_t>(index));
      std::uintptr_t limit = 0, base = 0;
      RunningStackRange(limit, base);
      const auto* to = reinterpret_cast<const std::uint8_t*>(base);
      info.CreatorStack.clear();
      info.CreatorStackOrigin = 0;
      if (reinterpret_cast<std::uintptr_t>(from) >= limit && from < to) {
        info.CreatorStack.assign(from, to);
        info.CreatorStackOrigin = reinterpret_cast<std::uintptr_t>(from);
      }
    }
    TraceExit("HookedResumeThread");
  }
  return realResumeThread(thread);
}

}  // namespace

DWORD WINAPI HookedResumeThread(HANDLE thread) {
  return ResumeWithCreatorStack(thread,
                                static_cast<const std::uint8_t*>(__builtin_frame_address(0)) + 8);
}

HANDLE WINAPI HookedCreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                                 LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                                 LPDWORD threadID) {
  TVexlorThreadsList* list = threadsList.load();
  if (!ReporterFlags().Active || !list) {
    return realCreateThread(attributes, stackSize, start, parameter, flags, threadID);
  }
  TraceEnter("HookedCreateThread", {reinterpret_cast<void*>(start), parameter, flags});
  auto info = std::make_unique<TVexlorThreadInfo>();
  TVexlorThreadInfo* record = info.get();
  const bool classLibrary = start == classLibraryThreadProc.load();
  DWORD id = 0;
  HANDLE handle = nullptr;
  {
    TListLock lock(*list);
    // Always suspended: the record must be complete before the thread runs.
    // Every thread runs inside the wrapper, which forgets its record when the
    // routine returns; the class library's thread keeps its object.
    handle = realCreateThread(attributes, stackSize, &HookedThreadProc, record,
                              flags | CREATE_SUSPENDED, &id);
    if (classLibrary) record->ThreadObject = parameter;
    if (handle) {
      record->ThreadID = id;
      record->Handle = reinterpret_cast<std::uintptr_t>(handle);
      record->StartAddress = reinterpret_cast<std::uintptr_t>(start);
      record->Parameter = reinterpret_cast<std::uintptr_t>(parameter);
      list->Add(std::move(info));
    }
  }
  // The creator's stack from the call of CreateThread: no frame of the hook
  // in it.
  if (handle && !(flags & CREATE_SUSPENDED))
    ResumeWithCreatorStack(handle,
                           static_cast<const std::uint8_t*>(__builtin_frame_address(0)) + 8);
  if (threadID) *threadID = id;
  TraceExit("HookedCreateThread", {static_cast<void*>(handle)});
  return handle;
}

void WINAPI HookedExitThread(DWORD exitCode) {
  TVexlorThreadsList* list = threadsList.load();
  if (ReporterFlags().Active && list) {
    TraceEnter("HookedExitThread", {exitCode});
    list->RemoveThreadLocked(GetCurrentThreadId());
    TraceExit("HookedExitThread");
  }
  realExitThread(exitCode);
}

std::string OwnModuleFileName() {
  char name[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, name, MAX_PATH);
  return name;
}

}  // namespace

void SetClassLibraryThreadProc(LPTHREAD_START_ROUTINE proc) {
  classLibraryThreadProc = proc;
  SetThreadWrapperFunction(1, reinterpret_cast<const void*>(proc));
}

void InstallThreadHooks(TVexlorThreadsList* threads) {
  threadsList = threads;
  SetThreadWrapperFunction(0, reinterpret_cast<const void*>(&HookedThreadProc));
  const std::vector<std::string> modules = {"", "", OwnModuleFileName()};
  void* real = nullptr;
  HookImportInModules(modules, "kernel32.dll", true, real,
                      reinterpret_cast<void*>(&HookedCreateThread), "CreateThread");
  realCreateThread = reinterpret_cast<TCreateThreadProc>(real);
  HookImportInModules(modules, "kernel32.dll", true, real,
                      reinterpret_cast<void*>(&HookedResumeThread), "ResumeThread");
  realResumeThread = reinterpret_cast<TResumeThreadProc>(real);
  HookImportInModules(modules, "kernel32.dll", true, real,
                      reinterpret_cast<void*>(&HookedExitThread), "ExitThread");
  realExitThread = reinterpret_cast<TExitThreadProc>(real);
}

void RemoveThreadHooks() {
  threadsList = nullptr;
}
