// Which frames on the raising thread's stack will catch an exception, read
// from the x64 unwind data and, for frames compiled by GCC, their exception
// tables. Run at the raise, while every frame is still on the stack.
#pragma once

#include <windows.h>

#include <cstdint>

#include "reporter/interception/ExceptionObject.h"

enum class TCatcherKind : int {
  None = 0,
  CatchAll = 1,  // catch (...)
  Typed = 2,     // a matching typed catch
  SafeCall = 3,  // the safe-call boundary of a COM method
};

struct TFrameAnalysis {
  int Count = 0;  // catching frames, the thread wrappers included
  TCatcherKind FirstKind = TCatcherKind::None;
  bool FirstIsThreadWrapper = false;  // the first catcher ends the thread
  bool WrapperCounted = false;        // a thread wrapper is among the catchers
  bool Terminates = false;            // a frame lets nothing pass: terminate follows
  // An operating-system exception met a handler of foreign (non-GCC) code
  // before any frame of this module: that code guards its own faults.
  bool GuardedByForeignCode = false;
};

// Functions whose catch clause has a role of its own, by their start address.
void SetThreadWrapperFunction(int slot, const void* anyAddressInside);
void SetSafeCallBoundaryFunction(const void* anyAddressInside);
// The reporter's functions that call a thread's thread_local destructors at
// its end, by slot.
void SetThreadEndRunnerFunction(int slot, const void* anyAddressInside);
// The address lies in the reporter's own thread wrapper (slot 0) or in one of
// its thread-end runners: a frame no report shows.
bool IsReporterFrame(std::uintptr_t address);

// Walks from the context: a return address (isFault false: the C++ raise
// sites) or a faulting instruction (isFault true). osException: the
// exception is not a C++ object (GCC's catch clauses do not see those).
// The walk stops once enoughCatchers catching frames are found (0: walk the
// whole stack): most answers are settled by the first catcher.
TFrameAnalysis AnalyseFrames(const CONTEXT& start, bool isFault, bool osException,
                             const TVexlorExceptionObject& thrown, int enoughCatchers = 0);
