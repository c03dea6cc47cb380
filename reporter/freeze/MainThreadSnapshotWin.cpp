// Between the suspension and the resumption nothing here may allocate, take a
// lock or write a trace line: the suspended thread may hold the lock it needs.
// The copy's buffer therefore comes from the virtual-memory system, allocated
// before the thread is stopped.
#include "reporter/freeze/MainThreadSnapshotWin.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "reporter/debugdata/StackWalk.h"

namespace {

using TResumeThreadProc = DWORD(WINAPI*)(HANDLE);
std::atomic<TResumeThreadProc> systemResumeThread{nullptr};

DWORD Resume(HANDLE thread) {
  const TResumeThreadProc resume = systemResumeThread.load();
  return resume ? resume(thread) : ResumeThread(thread);
}

}  // namespace

void PrepareMainThreadSnapshot() {
  if (systemResumeThread.load()) return;
  if (HMODULE kernel = GetModuleHandleA("kernel32.dll")) {
    systemResumeThread = reinterpret_cast<TResumeThreadProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "ResumeThread")));
  }
}

TMainThreadSnapshot::~TMainThreadSnapshot() {
  if (buffer_) VirtualFree(buffer_, 0, MEM_RELEASE);
}

bool TMainThreadSnapshot::Take(HANDLE thread, std::uintptr_t stackBase) {
  copied_ = 0;
  std::uintptr_t stackLow = stackBase;
  MEMORY_BASIC_INFORMATION region{};
  if (stackBase != 0 &&
      VirtualQuery(reinterpret_cast<const void*>(stackBase - 1), &region, sizeof region) != 0) {
    stackLow = reinterpret_cast<std::uintptr_t>(region.AllocationBase);
  }
  // The scan reads at most kStackScanLimit bytes above its start.
  const std::size_t wanted = std::min<std::uintptr_t>(stackBase - stackLow, kStackScanLimit + 8);
  if (!buffer_ && wanted > 0) {
    buffer_ = VirtualAlloc(nullptr, wanted, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    capacity_ = buffer_ ? wanted : 0;
  }

  if (!thread || SuspendThread(thread) == static_cast<DWORD>(-1)) return false;
  std::memset(&context_, 0, sizeof context_);
  context_.ContextFlags = CONTEXT_FULL;
  const bool read = GetThreadContext(thread, &context_) != FALSE;
  const std::uintptr_t rsp = context_.Rsp;
  // Everything between the stack pointer and the base is committed; below
  // it, or on another stack (a fiber), nothing is copied.
  if (read && capacity_ > 0 && rsp >= stackLow && rsp < stackBase) {
    copied_ = std::min<std::size_t>(stackBase - rsp, capacity_);
    std::memcpy(buffer_, reinterpret_cast<const void*>(rsp), copied_);
  }
  Resume(thread);
  return read && context_.Rip != 0 && context_.Rsp != 0;
}
