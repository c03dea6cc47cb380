#include "reporter/interception/OsExceptionObjects.h"

#include <cstdio>

namespace {

std::string Hex(std::uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

template <class T>
std::unique_ptr<EExternal> Make(const std::string& message, std::uint32_t code,
                                const void* address) {
  return std::make_unique<T>(message, code, address);
}

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool IsReportableOsExceptionCode(std::uint32_t code) {
  if (code == kGccThrowCode || code == kGccUnwindCode) return false;
  const std::uint32_t severity = code >> 30;
  return severity == 2 || severity == 3;  // warning or error
}

std::unique_ptr<EExternal> CreateOsExceptionObject(std::uint32_t code, const void* address,
                                                   std::uintptr_t accessKind,
                                                   std::uintptr_t accessAddress,
                                                   const std::string& moduleName) {
  switch (code) {
    case 0xC0000005: {
      const char* access = accessKind == 1 ? "Write" : accessKind == 8 ? "Execute" : "Read";
      return Make<EAccessViolation>("Access violation at address " +
                                        Hex(reinterpret_cast<std::uintptr_t>(address), 16) +
                                        " in module '" + BaseName(moduleName) + "'. " + access +
                                        " of address " + Hex(accessAddress, 16),
                                    code, address);
    }
    case 0xC0000094:
      return Make<EDivByZero>("Division by zero", code, address);
    case 0xC000008C:
      return Make<ERangeError>("Range check error", code, address);
    case 0xC0000095:
      return Make<EIntOverflow>("Integer overflow", code, address);
    case 0xC000008F:
    case 0xC0000090:
    case 0xC0000092:
      return Make<EInvalidOp>("Invalid floating point operation", code, address);
    case 0xC000008E:
      return Make<EZeroDivide>("Floating point division by zero", code, address);
    case 0xC0000091:
      return Make<EOverflow>("Floating point overflow", code, address);
    case 0xC0000093:
    case 0xC000008D:
      return Make<EUnderflow>("Floating point underflow", code, address);
    case 0xC0000096:
      return Make<EPrivilege>("Privileged instruction", code, address);
    case 0xC000013A:
      return Make<EControlC>("Control-C hit", code, address);
    case 0xC00000FD:
      return Make<EStackOverflow>("Stack overflow", code, address);
    default:
      return Make<EExternalException>("External exception " + Hex(code, 8), code, address);
  }
}
