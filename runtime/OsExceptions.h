// The class library's exception objects for operating-system exceptions: a
// processor fault becomes an EAccessViolation, EDivByZero ... with the
// system's code and the faulting address. Portable.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/Exceptions.h"

// accessKind/accessAddress are the first two parameters of an access
// violation (0 read, 1 write, 8 execute; the address touched); moduleName is
// the file name of the module holding the faulting instruction.
std::unique_ptr<EExternal> MakeOsException(std::uint32_t code, const void* address,
                                           std::uintptr_t accessKind, std::uintptr_t accessAddress,
                                           const std::string& moduleName);

// Throws the object MakeOsException would make, as its own class.
[[noreturn]] void RaiseOsException(std::uint32_t code, const void* address,
                                   std::uintptr_t accessKind, std::uintptr_t accessAddress,
                                   const std::string& moduleName);
