// The codes that are reported and the class library's object made for each.
#include "reporter/interception/OsExceptionObjects.h"

#include "runtime/OsExceptions.h"

bool IsReportableOsExceptionCode(std::uint32_t code) {
  if (code == kGccThrowCode || code == kGccUnwindCode) return false;
  const std::uint32_t severity = code >> 30;
  return severity == 2 || severity == 3;  // warning or error
}

std::unique_ptr<EExternal> CreateOsExceptionObject(std::uint32_t code, const void* address,
                                                   std::uintptr_t accessKind,
                                                   std::uintptr_t accessAddress,
                                                   const std::string& moduleName) {
  return MakeOsException(code, address, accessKind, accessAddress, moduleName);
}
