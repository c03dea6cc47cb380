// The registers of a C++ throw as they are at the application's call into
// the runtime's throw routine, saved by the routine's link-time wrapper
// before any code of the reporter runs.
#pragma once

#include <cstdint>
#include <typeinfo>

// x64 register order (RAX, RCX, RDX, RBX, RSP, RBP, RSI, RDI, R8 ... R15).
struct TRaiseEntryRegisters {
  std::uint64_t Registers[16];  // RSP: pointing at the return address
  std::uint64_t EFlags;
};

// Called by the wrapper with the arguments of the throw; the wrapper then
// jumps on to the runtime's routine, leaving no frame of its own behind.
extern "C" void HookedRaise(void* object, std::type_info* type,
                            const TRaiseEntryRegisters* registers);
