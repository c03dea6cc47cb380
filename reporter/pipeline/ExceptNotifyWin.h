// The report pipeline's entry: one report at a time in the process, made by a
// handler thread while the raising thread waits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "reporter/interception/ExceptionObject.h"

struct TExceptNotifyParams {
  const CONTEXT* Context = nullptr;  // null = the raising thread's RaiseContext
  std::uintptr_t StackTop = 0;       // 0 = the raising thread's stack base
  std::uintptr_t StackPointer = 0;   // 0 = the raising thread's StackStart
  // Not 0: [StackPointer, StackTop] is a copy of a stack, taken while its
  // thread stood still (a freeze report); the copy's first byte stood at this
  // address, the context's stack pointer. Reads of the stack by its real
  // addresses go to the copy (TStackCopyReader).
  std::uintptr_t StackCopyOrigin = 0;
  std::uint32_t ThreadID = 0;
  std::string FocusedClassName;
  std::string FocusedText;  // masked with "*" for password edits
};

// Serialises the report and waits for it. True = nothing was reported here,
// the caller's own handling goes on. stackCopyOrigin: see TExceptNotifyParams.
bool ExceptNotify(const TVexlorExceptionObject& object, std::uintptr_t address, bool isCallReturn,
                  std::uintptr_t stackTop, std::uintptr_t stackPointer, const CONTEXT* context,
                  std::uintptr_t stackCopyOrigin = 0);

// Builds and delivers the report (runs in the handler thread).
bool InternalExceptNotify(const TVexlorExceptionObject& object, std::uintptr_t address,
                          bool isCallReturn, TExceptNotifyParams params);

// Runs a procedure in the thread that raised the exception being reported
// (directly when called from that thread or when no report is being made).
void RunInRaisingThread(const std::function<void()>& procedure);

// Makes, at start-up, what a report needs before any report is made: the
// handler thread and the process-wide objects of the report path.
void PrepareReportPath();
// Shutdown: in a library being unloaded the handler thread is ended (its code
// goes with the library); an executable keeps it, since reports are still
// made while its static objects are destroyed.
void EndReportPath();

// Ends the process with exit code 1, first starting a new instance with the
// same command line when restart is set.
[[noreturn]] void RestartOrTerminate(bool restart);

// The address and object of the last exception a report was made for.
std::uintptr_t LastNotifiedAddress();
const void* LastNotifiedObject();

// The option Active of this module's working options (false without them).
bool ExceptNotifyActiveOption();

// Focused window's class and text for the params; a password edit's text is
// masked.
void FillFocusedWindow(TExceptNotifyParams& params);
