// The class library's objects for operating-system exceptions and their
// messages, one table for making and for raising them.
#include "runtime/OsExceptions.h"

#include <cstdio>

namespace {

std::string Hex(std::uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Calls make.template operator()<Class>(message) with the class and message
// of the code.
template <class Make>
auto ForOsException(std::uint32_t code, const void* address, std::uintptr_t accessKind,
                    std::uintptr_t accessAddress, const std::string& moduleName, Make make) {
  switch (code) {
    case 0xC0000005: {
      const char* access = accessKind == 1 ? "Write" : accessKind == 8 ? "Execute" : "Read";
      return make.template operator()<EAccessViolation>(
          "Access violation at address " + Hex(reinterpret_cast<std::uintptr_t>(address), 16) +
          " in module '" + BaseName(moduleName) + "'. " + access + " of address " +
          Hex(accessAddress, 16));
    }
    case 0xC0000094:
      return make.template operator()<EDivByZero>("Division by zero");
    case 0xC000008C:
      return make.template operator()<ERangeError>("Range check error");
    case 0xC0000095:
      return make.template operator()<EIntOverflow>("Integer overflow");
    case 0xC000008F:
    case 0xC0000090:
    case 0xC0000092:
      return make.template operator()<EInvalidOp>("Invalid floating point operation");
    case 0xC000008E:
      return make.template operator()<EZeroDivide>("Floating point division by zero");
    case 0xC0000091:
      return make.template operator()<EOverflow>("Floating point overflow");
    case 0xC0000093:
    case 0xC000008D:
      return make.template operator()<EUnderflow>("Floating point underflow");
    case 0xC0000096:
      return make.template operator()<EPrivilege>("Privileged instruction");
    case 0xC000013A:
      return make.template operator()<EControlC>("Control-C hit");
    case 0xC00000FD:
      return make.template operator()<EStackOverflow>("Stack overflow");
    default:
      return make.template operator()<EExternalException>("External exception " + Hex(code, 8));
  }
}

}  // namespace

std::unique_ptr<EExternal> MakeOsException(std::uint32_t code, const void* address,
                                           std::uintptr_t accessKind, std::uintptr_t accessAddress,
                                           const std::string& moduleName) {
  return ForOsException(code, address, accessKind, accessAddress, moduleName,
                        [&]<class T>(const std::string& message) -> std::unique_ptr<EExternal> {
                          return std::make_unique<T>(message, code, address);
                        });
}

void RaiseOsException(std::uint32_t code, const void* address, std::uintptr_t accessKind,
                      std::uintptr_t accessAddress, const std::string& moduleName) {
  ForOsException(
      code, address, accessKind, accessAddress, moduleName,
      [&]<class T>(const std::string& message) -> int { throw T(message, code, address); });
  // Every class throws above; this only tells the compiler so.
  throw EExternalException("External exception", code, address);
}
