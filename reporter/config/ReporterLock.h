// The lock of the reporter's own shared data. A report is built on a thread of
// its own, and a fault there that nothing can catch (a damaged module or stack
// read while a list is locked) ends that thread where it stands. An ordinary
// lock it held would stay held for ever, and every later report, thread start
// or trace line of the process would wait for it. This lock is taken over by
// the next thread that asks for it once its holder has ended; the data's
// recovery procedure runs first, under the lock, because the holder may have
// left the data half-updated.
//
// The lock is recursive. Taking it free costs one atomic exchange (no call
// into the system): it sits on the path of every C++ throw. Natively, where no
// thread ends holding it, it is a plain recursive mutex.
#pragma once

#include <atomic>
#include <cstdint>
#if !defined(_WIN32)
#include <mutex>
#endif

#if defined(_WIN32)
#define VEXLOR_LOCK_CONSTEXPR constexpr
#else
#define VEXLOR_LOCK_CONSTEXPR
#endif

class TVexlorLock {
 public:
  // Runs under the lock on the thread that took it over; what it raises is
  // dropped.
  using TRecovery = void (*)(void* context);

  VEXLOR_LOCK_CONSTEXPR TVexlorLock() = default;
  VEXLOR_LOCK_CONSTEXPR explicit TVexlorLock(TRecovery recovery, void* context = nullptr)
      : FRecovery(recovery), FContext(context) {}
  TVexlorLock(const TVexlorLock&) = delete;
  TVexlorLock& operator=(const TVexlorLock&) = delete;

  // True when the lock was taken over from a thread that ended holding it.
  bool Acquire();
  // A release by a thread that does not hold the lock is ignored.
  void Release();
  // For std::lock_guard.
  void lock() { Acquire(); }
  void unlock() { Release(); }

  // How often the lock was taken over since the start.
  std::uint32_t TakeOvers() const { return FTakeOvers.load(); }

 private:
  void Recover();

  TRecovery FRecovery = nullptr;
  void* FContext = nullptr;
  std::atomic<std::uint32_t> FTakeOvers{0};
#if defined(_WIN32)
  bool AcquireContended(std::uint64_t self);

  // The holder's identity (thread id and a fold of its creation time), 0 when
  // free. Only the holder writes FDepth.
  std::atomic<std::uint64_t> FOwner{0};
  std::uint32_t FDepth = 0;
#else
  std::recursive_mutex FMutex;
#endif
};
