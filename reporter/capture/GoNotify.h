// The common road of every intercepted exception: record it, decide whether
// the application handles it, hand it to the report pipeline when not.
#pragma once

#include <cstdint>

#include "reporter/interception/ExceptionObject.h"

// Called by every interception hook once the raising context is recorded in
// the thread's capture state. Keeps the thread's last-error value.
void GoNotify(const TVexlorExceptionObject& object, std::uintptr_t address, bool isCallReturn,
              bool forceHandled);

// For the framework handler hooks: reports the exception being handled now.
// True = let the framework handle it as well; false = the reporter did.
bool ExceptionManager();
