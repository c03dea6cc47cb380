// The reporter's lock with real threads: re-entry, exclusion, and the take-over
// from a holder that ended, with its recovery run once.
#include "reporter/config/ReporterLock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using namespace std::chrono_literals;

// Another thread that asks for the lock; joined when the test is done with it,
// so the test releases the lock first.
class TWaiter {
 public:
  explicit TWaiter(TVexlorLock& lock)
      : thread_([this, &lock] {
          TakenOver = lock.Acquire();
          Got = true;
          lock.Release();
        }) {}
  ~TWaiter() { thread_.join(); }
  TWaiter(const TWaiter&) = delete;
  TWaiter& operator=(const TWaiter&) = delete;

  bool GotWithin(std::chrono::milliseconds patience) const {
    const auto until = std::chrono::steady_clock::now() + patience;
    while (!Got && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
    return Got;
  }

  std::atomic<bool> Got{false};
  std::atomic<bool> TakenOver{false};

 private:
  std::thread thread_;
};

TEST(ReporterLock, IsRecursiveAndHeldUntilTheLastRelease) {
  TVexlorLock lock;
  EXPECT_FALSE(lock.Acquire());
  EXPECT_FALSE(lock.Acquire());
  lock.Release();
  {
    TWaiter waiter(lock);
    EXPECT_FALSE(waiter.GotWithin(50ms));
    lock.Release();
    EXPECT_TRUE(waiter.GotWithin(5000ms));
    EXPECT_FALSE(waiter.TakenOver);
  }
  EXPECT_EQ(lock.TakeOvers(), 0u);
}

TEST(ReporterLock, KeepsThreadsOutOfEachOthersWay) {
  TVexlorLock lock;
  long counter = 0;  // deliberately not atomic: the lock alone guards it
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      std::lock_guard guard(lock);
      counter = counter + 1;
    }
  };
  std::thread a(work), b(work);
  work();
  a.join();
  b.join();
  EXPECT_EQ(counter, 60000);
  EXPECT_EQ(lock.TakeOvers(), 0u);
}

#if defined(_WIN32)

struct TRecoveryLog {
  int Calls = 0;
  void* Context = nullptr;
};
TRecoveryLog recoveryLog;
void NoteRecovery(void* context) {
  ++recoveryLog.Calls;
  recoveryLog.Context = context;
}

// A thread that takes the lock (twice: the depth must not survive it) and
// ends without releasing it, as the reporter's filter ends a faulting thread.
DWORD WINAPI EndWhileHolding(LPVOID parameter) {
  auto* lock = static_cast<TVexlorLock*>(parameter);
  lock->Acquire();
  lock->Acquire();
  ExitThread(1);
}

void RunToItsEnd(LPTHREAD_START_ROUTINE routine, void* parameter) {
  HANDLE thread = CreateThread(nullptr, 0, routine, parameter, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

TEST(ReporterLock, AHolderThatEndedIsTakenOverAndTheDataRecoveredOnce) {
  recoveryLog = {};
  int data = 0;
  TVexlorLock lock{&NoteRecovery, &data};
  RunToItsEnd(&EndWhileHolding, &lock);

  EXPECT_TRUE(lock.Acquire());
  EXPECT_EQ(recoveryLog.Calls, 1);
  EXPECT_EQ(recoveryLog.Context, &data);
  EXPECT_EQ(lock.TakeOvers(), 1u);
  // Now an ordinary lock of this thread: one release frees it.
  EXPECT_FALSE(lock.Acquire());
  lock.Release();
  lock.Release();
  {
    TWaiter waiter(lock);
    EXPECT_TRUE(waiter.GotWithin(5000ms));
    EXPECT_FALSE(waiter.TakenOver);
  }
  EXPECT_EQ(recoveryLog.Calls, 1);

  // It happens again after the next dead holder; a recovery that raises
  // leaves the lock taken all the same.
  TVexlorLock raising{[](void*) { throw 1; }};
  RunToItsEnd(&EndWhileHolding, &raising);
  EXPECT_TRUE(raising.Acquire());
  raising.Release();
  RunToItsEnd(&EndWhileHolding, &raising);
  EXPECT_TRUE(raising.Acquire());
  EXPECT_EQ(raising.TakeOvers(), 2u);
  raising.Release();
}

TEST(ReporterLock, ALiveHolderIsWaitedForHoweverLong) {
  recoveryLog = {};
  TVexlorLock lock{&NoteRecovery};
  std::atomic<bool> held{false};
  std::atomic<bool> released{false};
  std::thread holder([&] {
    lock.Acquire();
    held = true;
    // Long enough for the waiter to ask about the holder many times.
    Sleep(600);
    released = true;
    lock.Release();
  });
  while (!held) Sleep(1);
  EXPECT_FALSE(lock.Acquire());
  EXPECT_TRUE(released);
  lock.Release();
  holder.join();
  EXPECT_EQ(recoveryLog.Calls, 0);
  EXPECT_EQ(lock.TakeOvers(), 0u);
}

TEST(ReporterLock, AReleaseByAThreadThatDoesNotHoldItChangesNothing) {
  TVexlorLock lock;
  lock.Acquire();
  std::thread([&] { lock.Release(); }).join();
  TWaiter waiter(lock);
  EXPECT_FALSE(waiter.GotWithin(100ms));
  lock.Release();
  EXPECT_TRUE(waiter.GotWithin(5000ms));
}

#endif

}  // namespace
