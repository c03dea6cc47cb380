// What the interception hooks record about the exception in flight: per
// thread (the raising context and where its stack scan starts) and process
// wide (the last exception that passed a hook, the reporter's phase flags).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "reporter/interception/ExceptionObject.h"

struct TThreadCaptureState {
  std::uintptr_t StackStart = 0;  // 0 = unset
  std::uintptr_t RaiseStackPointer = 0;
  CONTEXT RaiseContext{};  // ContextFlags 0 = unset, CONTEXT_FULL = set
  bool InNotify = false;
  // The object HookedRaise is handing to the runtime: its own raise is not
  // recorded a second time by the RaiseException hook.
  void* ThrowInProgress = nullptr;
  // The last object thrown in this thread and where it was raised, for the
  // terminate path, which only learns the object.
  void* LastThrownObject = nullptr;
  std::uintptr_t LastThrowAddress = 0;
  // Set while this thread runs inside the interception hooks themselves.
  bool InHook = false;
  // Class of the class-library thread object this thread runs, for the
  // trace's thread names; empty for other threads. Taken once at the start:
  // the object may be freed before the thread's last trace line.
  char ThreadClassName[96] = {};
  // Set while this thread runs on the reserve stack: its own stack's base.
  std::uintptr_t StackBaseOverride = 0;
  // The answer given to an operating-system exception on this thread at its
  // first chance (0 = none pending): the class library turns a fault inside
  // its window procedures into its own exception object, which then reaches
  // the framework's handler and gets the same answer.
  std::uintptr_t FirstChanceAddress = 0;
  bool FirstChanceResult = true;
};

TThreadCaptureState& ThreadCaptureState();
// Allocates the per-thread slot (start-up).
void PrepareThreadCaptureState();
void SetRaiseContext(TThreadCaptureState& state, const CONTEXT& context);
bool HasRaiseContext(const TThreadCaptureState& state);

struct TLastException {
  TVexlorExceptionObject Object;
  std::uintptr_t Address = 0;
  bool IsCallReturn = false;  // Address is the return address of the raising call
};

TLastException GetLastException();
void SetLastException(const TLastException& value);
void ClearLastException();

// Process-wide phase flags of the reporter.
struct TReporterFlags {
  std::atomic<bool> Active{false};
  std::atomic<bool> UnitsInitialising{false};
  std::atomic<bool> UnitsFinalising{false};
  std::atomic<bool> SafeCallPending{false};
  // Set once at start-up: this reporter runs in a library and the main
  // executable carries reporter data of its own. That executable's reporter
  // reports, so this one counts every exception as handled.
  std::atomic<bool> MainExecutableCarriesReporter{false};
};
TReporterFlags& ReporterFlags();

// The thread that ran the reporter's start-up (the program's main thread).
DWORD MainThreadID();
bool IsMainThread();
// Records the calling thread as the main thread, with its stack base.
void RecordMainThread();
// Highest address of the main thread's stack (freeze reports walk it from
// another thread).
std::uintptr_t MainThreadStackBase();
// Highest address of the calling thread's stack (its own stack also while it
// runs on the reserve stack).
std::uintptr_t CurrentStackBase();
// The stack the processor runs on now: [limit, base) of the thread's
// information block.
void RunningStackRange(std::uintptr_t& limit, std::uintptr_t& base);
