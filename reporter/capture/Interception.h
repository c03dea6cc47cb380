// The common road of every intercepted exception: record it, decide whether
// the application handles it, hand it to the report pipeline when not.
#pragma once

#include <cstdint>

#include "reporter/interception/ExceptionObject.h"

// Called by every interception hook once the raising context is recorded in
// the thread's capture state. Keeps the thread's last-error value.
void GoNotify(const TVexlorExceptionObject& object, std::uintptr_t address, bool isCallReturn,
              bool forceHandled);

// True when a frame up the raising thread's stack catches the exception (with
// the thread and phase rules applied). Sets the safe-call pending flag when
// the first catcher is a safe-call boundary.
bool IsExceptionHandled(const TVexlorExceptionObject& object, std::uintptr_t address,
                        bool isCallReturn, bool forceHandled);

// For the framework handler hooks: reports the exception being handled now.
// True = let the framework handle it as well; false = the reporter did.
bool ExceptionManager();

// Readable type information and type name.
bool IsValidExceptionObject(const TVexlorExceptionObject& object);

// The exception the calling thread is handling in a catch block, or none.
TVexlorExceptionObject CurrentCppException();
