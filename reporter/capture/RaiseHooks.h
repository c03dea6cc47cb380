// The interception hooks of the raise paths: every C++ throw, other raises of
// C++ exceptions through RaiseException, operating-system exceptions at first
// chance, and the two "nothing handled it" ends (terminate and the unhandled
// exception filter).
#pragma once

#include <windows.h>

#include <cstdint>

#include "reporter/interception/ExceptionObject.h"

// The thrown object of a C++ exception's unwind header (the first parameter
// of a 0x20474343 raise); none when the header is not the C++ runtime's.
TVexlorExceptionObject ObjectOfUnwindHeader(std::uintptr_t header);

// The replacement of RaiseException in the executable's import slot.
void WINAPI HookedRaiseException(DWORD code, DWORD flags, DWORD argumentCount,
                                 const ULONG_PTR* arguments);

// Installs / removes the first vectored handler, the terminate handler and
// the unhandled-exception filter (the previous ones are restored).
void InstallRaiseHandlers();
void RemoveRaiseHandlers();

// The real RaiseException, resolved when the import hook is installed.
using TRaiseExceptionProc = void(WINAPI*)(DWORD, DWORD, DWORD, const ULONG_PTR*);
extern TRaiseExceptionProc RealRaiseException;
