// The reporter's lock on Windows: re-entrant, owned by thread id and creation stamp; a
// waiter spins, yields, then sleeps, and takes the lock over from a holder that has ended.
#include <windows.h>

#include "reporter/config/ReporterLock.h"
#include "reporter/config/ThreadSlot.h"

namespace {

// Rounds of waiting before the holder is asked about, and between two
// questions: each one costs calls into the system.
constexpr unsigned kSpinRounds = 64;
constexpr unsigned kYieldRounds = 128;
constexpr unsigned kRoundsPerHolderCheck = 16;

// A fold of the thread's creation time: a new thread that is given the id of
// a dead holder is not mistaken for it. False when the system does not say.
bool CreationStamp(HANDLE thread, std::uint32_t& stamp) {
  FILETIME creation{}, exit{}, kernel{}, user{};
  if (!GetThreadTimes(thread, &creation, &exit, &kernel, &user)) return false;
  stamp = creation.dwLowDateTime ^ creation.dwHighDateTime;
  return true;
}

std::uint64_t Identity(DWORD threadId, std::uint32_t stamp) {
  return (static_cast<std::uint64_t>(threadId) << 32) | stamp;
}

// Asked once per thread, then kept in a thread slot: a thread that raises
// while it holds the threads library's locks (ending inside its thread_local
// destructors) still finds it, and so does the report's handler thread.
const TVexlorThreadWord selfIdentity;

std::uint64_t SelfIdentity() {
  std::uint64_t self = selfIdentity.Get();
  if (self == 0) {
    std::uint32_t stamp = 0;
    const DWORD error = GetLastError();
    if (!CreationStamp(GetCurrentThread(), stamp)) stamp = 0;
    SetLastError(error);
    self = Identity(GetCurrentThreadId(), stamp);
    selfIdentity.Set(self);
  }
  return self;
}

// Whatever cannot be answered counts as alive: taking a lock from a live
// holder would be worse than waiting.
bool HolderAlive(std::uint64_t owner) {
  const auto threadId = static_cast<DWORD>(owner >> 32);
  HANDLE thread = OpenThread(SYNCHRONIZE | THREAD_QUERY_LIMITED_INFORMATION, FALSE, threadId);
  if (!thread) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such thread: ended
  bool alive = WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
  std::uint32_t stamp = 0;
  const auto ownerStamp = static_cast<std::uint32_t>(owner);
  if (alive && ownerStamp != 0 && CreationStamp(thread, stamp)) alive = stamp == ownerStamp;
  CloseHandle(thread);
  return alive;
}

void Pause(unsigned round) {
  if (round < kSpinRounds) {
    YieldProcessor();
  } else if (round < kYieldRounds) {
    SwitchToThread();
  } else {
    // A report may hold its lock for as long as its dialog is open.
    Sleep(round < 1024 ? 1 : 10);
  }
}

}  // namespace

bool TVexlorLock::Acquire() {
  const std::uint64_t self = SelfIdentity();
  if (FOwner.load(std::memory_order_relaxed) == self) {
    ++FDepth;
    return false;
  }
  std::uint64_t expected = 0;
  if (FOwner.compare_exchange_strong(expected, self, std::memory_order_acquire,
                                     std::memory_order_relaxed)) {
    FDepth = 1;
    return false;
  }
  return AcquireContended(self);
}

bool TVexlorLock::AcquireContended(std::uint64_t self) {
  for (unsigned round = 0;; ++round) {
    std::uint64_t expected = 0;
    if (FOwner.compare_exchange_weak(expected, self, std::memory_order_acquire,
                                     std::memory_order_relaxed)) {
      FDepth = 1;
      return false;
    }
    if (expected != 0 && round >= kSpinRounds && round % kRoundsPerHolderCheck == 0 &&
        !HolderAlive(expected) &&
        FOwner.compare_exchange_strong(expected, self, std::memory_order_acquire,
                                       std::memory_order_relaxed)) {
      FDepth = 1;
      FTakeOvers.fetch_add(1);
      Recover();
      return true;
    }
    Pause(round);
    if (round == ~0u - 1) round = 1024;
  }
}

void TVexlorLock::Release() {
  if (FOwner.load(std::memory_order_relaxed) != SelfIdentity()) return;
  if (FDepth > 1) {
    --FDepth;
    return;
  }
  FDepth = 0;
  FOwner.store(0, std::memory_order_release);
}

void TVexlorLock::Recover() {
  if (!FRecovery) return;
  try {
    FRecovery(FContext);
  } catch (...) {
    // The data stays as the recovery left it; the lock is held either way.
  }
}
