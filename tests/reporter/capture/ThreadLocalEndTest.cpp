// thread_local destructors at a thread's end (the reporter runs them): each
// runs while the thread's other thread_local objects still exist, newest
// first, one made during another's destruction included, in a std::thread and
// in a plain Win32 thread; the reporter's runner is no frame of a report.
#include <windows.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "reporter/interception/FrameWalkWin.h"

namespace {

// What the destructors saw; written by one thread at a time (each test joins
// its thread before reading).
std::vector<std::string> destroyed;
bool calledByReporterFrame = true;

// Freed storage would be made anew on the next touch, reading 0.
thread_local int framesDecoded = 0;

class TScratch {
 public:
  explicit TScratch(const char* name, bool touchLate = false)
      : name_(name), touchLate_(touchLate) {}
  ~TScratch();
  void Use() { ++uses_; }

 private:
  const char* name_;
  bool touchLate_;
  int uses_ = 0;
};

TScratch& LateScratch() {
  thread_local TScratch late("late");
  return late;
}

TScratch::~TScratch() {
  calledByReporterFrame &=
      IsReporterFrame(reinterpret_cast<std::uintptr_t>(__builtin_return_address(0)));
  destroyed.push_back(std::string(name_) + " saw " + std::to_string(framesDecoded) + " after " +
                      std::to_string(uses_));
  if (touchLate_) LateScratch().Use();
}

void Decode() {
  framesDecoded = 42;
  thread_local TScratch first("first", true);
  thread_local TScratch second("second");
  first.Use();
  second.Use();
  second.Use();
}

const std::vector<std::string> kExpected = {"second saw 42 after 2", "first saw 42 after 1",
                                            "late saw 42 after 1"};

TEST(ThreadLocalEnd, StdThreadDestroysWhileStorageLives) {
  destroyed.clear();
  std::thread decoder(&Decode);
  decoder.join();
  EXPECT_EQ(destroyed, kExpected);
  EXPECT_TRUE(calledByReporterFrame);
}

TEST(ThreadLocalEnd, Win32ThreadDestroysWhileStorageLives) {
  destroyed.clear();
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        Decode();
        return 0;
      },
      nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(destroyed, kExpected);
}

}  // namespace
