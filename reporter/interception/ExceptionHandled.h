// Whether the application handles an exception: a frame up the raising
// thread's stack that catches it, and the exception objects the reporter can
// read.
#pragma once

#include <cstdint>

#include "reporter/interception/ExceptionObject.h"

// True when a frame up the raising thread's stack catches the exception (with
// the thread and phase rules applied). Sets the safe-call pending flag when
// the first catcher is a safe-call boundary.
bool IsExceptionHandled(const TVexlorExceptionObject& object, std::uintptr_t address,
                        bool isCallReturn, bool forceHandled);

// Readable type information and type name.
bool IsValidExceptionObject(const TVexlorExceptionObject& object);

// The exception the calling thread is handling in a catch block, or none.
TVexlorExceptionObject CurrentCppException();
