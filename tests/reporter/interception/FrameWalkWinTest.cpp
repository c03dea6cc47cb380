// Which frames of this program's own stack catch an exception, read from the
// real unwind data and exception tables the compiler wrote.
#include <windows.h>

#include <stdexcept>

#include <gtest/gtest.h>

#include "reporter/interception/CaptureStateWin.h"
#include "reporter/interception/ExceptionHandled.h"
#include "reporter/interception/FrameWalkWin.h"
#include "runtime/Exceptions.h"

namespace {

TVexlorExceptionObject thrown;
TFrameAnalysis analysis;

// Plays the raise: the frames above this call are those a throw here would
// search.
__attribute__((noinline)) void AnalyseHere() {
  CONTEXT context;
  RtlCaptureContext(&context);
  analysis = AnalyseFrames(context, true, false, thrown);
}

// Keeps the compiler from proving that nothing throws inside the try blocks.
void (*volatile analyse)() = &AnalyseHere;
__attribute__((noinline)) void MayThrow(bool really) {
  analyse();
  if (really) throw std::runtime_error("never");
}

template <class T>
void Throwing(T& object) {
  thrown = {&object, &typeid(object)};
}

__attribute__((noinline)) void CatchesRuntimeError() {
  try {
    MayThrow(false);
  } catch (const std::runtime_error&) {
  }
}

__attribute__((noinline)) void CatchesEverything() {
  try {
    MayThrow(false);
  } catch (...) {
  }
}

__attribute__((noinline)) void NothingEscapes() noexcept {
  MayThrow(false);
}

__attribute__((noinline)) void NestedCatchers() {
  try {
    CatchesRuntimeError();
  } catch (const Exception&) {
  }
}

TEST(FrameWalkTest, TypedCatchOfAMatchingClass) {
  std::overflow_error error("x");
  Throwing(error);
  CatchesRuntimeError();
  EXPECT_EQ(analysis.FirstKind, TCatcherKind::Typed);
  EXPECT_GE(analysis.Count, 1);
  EXPECT_FALSE(analysis.Terminates);
}

TEST(FrameWalkTest, NonMatchingCatchIsSkipped) {
  EConvertError error("x");
  Throwing(error);
  int countWithout = 0;
  {
    AnalyseHere();  // the frames of the test framework alone
    countWithout = analysis.Count;
  }
  CatchesRuntimeError();
  EXPECT_EQ(analysis.Count, countWithout);

  NestedCatchers();  // the outer catch (const Exception&) takes it
  EXPECT_EQ(analysis.Count, countWithout + 1);
  EXPECT_EQ(analysis.FirstKind, TCatcherKind::Typed);
}

TEST(FrameWalkTest, CatchAllAndNoexcept) {
  int code = 3;
  thrown = {&code, &typeid(int)};
  CatchesEverything();
  EXPECT_EQ(analysis.FirstKind, TCatcherKind::CatchAll);

  NothingEscapes();
  EXPECT_TRUE(analysis.Terminates);
  EXPECT_EQ(analysis.Count, 0);
}

TEST(FrameWalkTest, SafeCallBoundaryIsItsOwnKind) {
  SetSafeCallBoundaryFunction(reinterpret_cast<const void*>(&SafeCallBoundary));
  std::runtime_error error("x");
  Throwing(error);
  const long result = SafeCall([] {
    MayThrow(false);
    return 0L;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(analysis.FirstKind, TCatcherKind::SafeCall);

  // And the boundary turns what escapes into an HRESULT.
  EXPECT_EQ(SafeCall([]() -> long { throw EOleException("failed", 0x80004005L); }),
            static_cast<long>(0x80004005L));
  EXPECT_EQ(SafeCall([]() -> long { throw 1; }), static_cast<long>(0x8000FFFFL));
  SetSafeCallBoundaryFunction(nullptr);
}

DWORD WINAPI WrappedThread(LPVOID) {
  try {
    MayThrow(false);
  } catch (...) {
  }
  return 0;
}

TEST(FrameWalkTest, ThreadWrapperCatchingFirst) {
  std::runtime_error error("x");
  Throwing(error);
  SetThreadWrapperFunction(0, reinterpret_cast<const void*>(&WrappedThread));
  HANDLE thread = CreateThread(nullptr, 0, &WrappedThread, nullptr, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_TRUE(analysis.FirstIsThreadWrapper);
  EXPECT_TRUE(analysis.WrapperCounted);
  EXPECT_EQ(analysis.Count, 1);
  SetThreadWrapperFunction(0, nullptr);
}

TEST(FrameWalkTest, OsExceptionsAreNotCaughtByCatchClauses) {
  EAccessViolation error("x", 0xC0000005, nullptr);
  Throwing(error);
  CONTEXT context;
  RtlCaptureContext(&context);
  const TFrameAnalysis os = AnalyseFrames(context, true, true, thrown);
  EXPECT_EQ(os.Count, 0);
  EXPECT_FALSE(os.GuardedByForeignCode);
}

TEST(FrameWalkTest, ValidObjectsAndTheCurrentException) {
  std::runtime_error error("x");
  EXPECT_TRUE(IsValidExceptionObject({&error, &typeid(error)}));
  EXPECT_FALSE(IsValidExceptionObject({}));
  EXPECT_FALSE(IsValidExceptionObject(
      {&error, reinterpret_cast<const std::type_info*>(std::uintptr_t{0x10})}));

  EXPECT_FALSE(CurrentCppException().Object);
  try {
    throw EConvertError("now");
  } catch (...) {
    const TVexlorExceptionObject current = CurrentCppException();
    EXPECT_EQ(ExceptionClassName(current), "EConvertError");
    EXPECT_EQ(ExceptionMessage(current), "now");
  }
}

}  // namespace
