// The raw scan: each slot tested for a return address behind a call of one of
// the x64 forms; also the import thunk's target and the design-time filter.
#include "reporter/debugdata/StackWalk.h"

#include <cstring>
#include <string>

#include "reporter/debugdata/FrameWalk.h"
#include "reporter/debugdata/ModuleInfo.h"

std::uintptr_t ResolveImportThunk(TVexlorMemoryReader& memory, std::uintptr_t address) {
  std::uint8_t stub[6];
  if (!memory.IsValid(address, sizeof stub) || !memory.Read(address, stub, sizeof stub))
    return address;
  if (stub[0] != 0xFF || stub[1] != 0x25) return address;
  std::int32_t rel = 0;
  std::memcpy(&rel, stub + 2, 4);
  const std::uintptr_t slot =
      address + sizeof stub + static_cast<std::uintptr_t>(static_cast<std::intptr_t>(rel));
  std::uint64_t target = 0;
  if (!memory.IsValid(slot, 8) || !memory.Read(slot, &target, 8)) return address;
  return static_cast<std::uintptr_t>(target);
}

namespace {

constexpr std::uintptr_t kSlot = 8;
constexpr std::uintptr_t kWindow = 8;  // bytes examined in front of a candidate

bool IsRex(std::uint8_t b) {
  return (b & 0xF0) == 0x40;
}
// ModRM of FF /2 through a register: no SIB (rm 100), no RIP-relative (rm 101
// with mod 00).
bool IsRegisterIndirect(std::uint8_t m) {
  return m >= 0x10 && m <= 0x17 && m != 0x14 && m != 0x15;
}
bool IsRegisterDisp8(std::uint8_t m) {
  return m >= 0x50 && m <= 0x57 && m != 0x54;
}
bool IsRegisterDisp32(std::uint8_t m) {
  return m >= 0x90 && m <= 0x97 && m != 0x94;
}
bool IsRegisterDirect(std::uint8_t m) {
  return m >= 0xD0 && m <= 0xD7;
}

// Length of the indirect call that ends at the window's end, 0 when none.
// Each form is tried with a REX prefix first, so the item names the
// instruction's first byte.
std::uintptr_t IndirectCallLength(const std::uint8_t* q, TVexlorMemoryReader& memory,
                                  std::uintptr_t v) {
  if (q[2] == 0xFF && q[3] == 0x15) {
    std::int32_t rel = 0;
    std::memcpy(&rel, q + 4, 4);
    if (memory.IsValid(v + static_cast<std::uintptr_t>(static_cast<std::intptr_t>(rel)), 8))
      return 6;
  }
  if (q[6] == 0xFF && IsRegisterDirect(q[7])) return IsRex(q[5]) ? 3 : 2;
  if (q[6] == 0xFF && IsRegisterIndirect(q[7])) return IsRex(q[5]) ? 3 : 2;
  if (q[5] == 0xFF && IsRegisterDisp8(q[6])) return IsRex(q[4]) ? 4 : 3;
  if (q[2] == 0xFF && IsRegisterDisp32(q[3])) return IsRex(q[1]) ? 7 : 6;
  if (q[5] == 0xFF && q[6] == 0x14 && q[7] == 0x24) return 3;
  if (q[4] == 0xFF && q[5] == 0x54 && q[6] == 0x24) return 4;
  if (q[1] == 0xFF && q[2] == 0x94 && q[3] == 0x24) return 7;
  return 0;
}

// Examines one candidate return address; false when memory failed under it.
bool Examine(TVexlorMemoryReader& memory, const TVexlorAddressResolver& resolve, std::uintptr_t v,
             TVexlorStackList& list) {
  if (v < kWindow) return true;
  const std::uintptr_t q = v - kWindow;
  std::uint8_t bytes[kWindow];
  if (!memory.IsValid(q, kWindow)) return true;
  if (!memory.Read(q, bytes, kWindow)) return false;
  if (bytes[3] == 0xE8) {
    std::int32_t rel = 0;
    std::memcpy(&rel, bytes + 4, 4);
    std::uintptr_t target = v + static_cast<std::uintptr_t>(static_cast<std::intptr_t>(rel));
    if (!memory.IsValid(target, 1)) return true;
    target = ResolveImportThunk(memory, target);
    std::uint8_t first = 0;
    if (memory.IsValid(target, 5)) {
      if (!memory.Read(target, &first, 1)) return false;
      if (first != 0xE8) list.Add(resolve(target));
    }
    list.Add(resolve(q + 3));
    return true;
  }
  if (const std::uintptr_t length = IndirectCallLength(bytes, memory, v); length != 0)
    list.Add(resolve(v - length));
  return true;
}

}  // namespace

std::uintptr_t CallInstructionBefore(TVexlorMemoryReader& memory, std::uintptr_t returnAddress) {
  if (returnAddress < kWindow) return 0;
  const std::uintptr_t q = returnAddress - kWindow;
  std::uint8_t bytes[kWindow];
  if (!memory.IsValid(q, kWindow) || !memory.Read(q, bytes, kWindow)) return 0;
  if (bytes[3] == 0xE8) return q + 3;
  const std::uintptr_t length = IndirectCallLength(bytes, memory, returnAddress);
  return length != 0 ? returnAddress - length : 0;
}

std::unique_ptr<TVexlorStackList> WalkStack(TVexlorMemoryReader& memory,
                                            const TVexlorAddressResolver& resolve,
                                            std::uintptr_t exceptionAddress,
                                            std::uintptr_t rangeStart, std::uintptr_t rangeEnd) {
  auto list = std::make_unique<TVexlorStackList>();
  if (exceptionAddress != 0) list->Add(resolve(exceptionAddress));
  if (rangeEnd < rangeStart) return list;
  if (rangeEnd - rangeStart > kStackScanLimit) rangeEnd = rangeStart + kStackScanLimit;
  std::intptr_t readable = 0;
  // The last slot must fit below the end of the address space.
  for (std::uintptr_t p = rangeStart; p <= rangeEnd && p <= UINTPTR_MAX - kSlot; p += kSlot) {
    if (readable < 1) {
      readable = memory.IsValid(p, kStackBlockSize) ? static_cast<std::intptr_t>(kStackBlockSize)
                 : memory.IsValid(p, kSlot)         ? static_cast<std::intptr_t>(kSlot)
                                                    : 0;
    }
    if (readable > 0) {
      std::uint64_t value = 0;
      const bool ok = memory.Read(p, &value, kSlot) &&
                      Examine(memory, resolve, static_cast<std::uintptr_t>(value), *list);
      readable = ok ? readable - static_cast<std::intptr_t>(kSlot) : 0;
    }
  }
  return list;
}

void FilterStackDesignTime(TVexlorStackList& list, const TVexlorModuleInfo* reporterModule) {
  for (std::size_t i = list.Count(); i-- > 0;) {
    const TVexlorDebugInfo& item = list.Items(i);
    const bool named =
        item.Kind == dikProcedure || item.Kind == dikExportName || item.Kind == dikSourceLine;
    if (!named || item.ModuleInfo == reporterModule ||
        item.ProcedureName.find("HandleException") != std::string::npos)
      list.Delete(i);
  }
  for (std::size_t j = 0; j < list.Count(); ++j) {
    std::size_t k = j + 1;
    while (k < list.Count()) {
      if (list.Items(k).ModuleInfo != list.Items(j).ModuleInfo) {
        ++k;
        continue;
      }
      if (list.Items(k).Address != list.Items(j).Address) break;
      list.Delete(k);
    }
  }
}
