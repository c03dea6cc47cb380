// The class library's object for an operating-system exception code, as the
// vectored handler creates it before the report. Portable.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/Exceptions.h"

// accessKind/accessAddress are the first two parameters of an access
// violation (0 read, 1 write, 8 execute; the address touched); moduleName is
// the file name of the module holding the faulting instruction.
std::unique_ptr<EExternal> CreateOsExceptionObject(std::uint32_t code, const void* address,
                                                   std::uintptr_t accessKind,
                                                   std::uintptr_t accessAddress,
                                                   const std::string& moduleName);

// Codes that are not errors (informational and success severities: debugger
// output, thread naming, RPC status) or belong to the C++ runtime itself.
bool IsReportableOsExceptionCode(std::uint32_t code);

constexpr std::uint32_t kGccThrowCode = 0x20474343;   // a C++ throw
constexpr std::uint32_t kGccUnwindCode = 0x21474343;  // the unwind phase of one
