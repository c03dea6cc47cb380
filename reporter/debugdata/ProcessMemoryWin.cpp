// The process's own memory as the system reports it: readable committed pages,
// with the last readable region kept so a scan asks the system seldom.
#include <windows.h>

#include <cstring>

#include "reporter/debugdata/ProcessMemory.h"

namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// The readable region around address: [low, high), or false.
bool ReadableRegion(std::uintptr_t address, std::uintptr_t& low, std::uintptr_t& high) {
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(reinterpret_cast<LPCVOID>(address), &info, sizeof info) != sizeof info)
    return false;
  if (info.State != MEM_COMMIT || (info.Protect & kReadable) == 0 ||
      (info.Protect & PAGE_GUARD) != 0)
    return false;
  low = reinterpret_cast<std::uintptr_t>(info.BaseAddress);
  high = low + info.RegionSize;
  return high > address;
}

}  // namespace

bool IsValidAddress(std::uintptr_t address, std::size_t count) {
  if (count == 0) count = 1;
  if (address + count < address) return false;
  const std::uintptr_t last = address + count - 1;
  for (std::uintptr_t at = address;;) {
    std::uintptr_t low = 0, high = 0;
    if (!ReadableRegion(at, low, high)) return false;
    if (high - 1 >= last) return true;
    at = high;
  }
}

std::uintptr_t ModuleOfAddress(std::uintptr_t address) {
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(reinterpret_cast<LPCVOID>(address), &info, sizeof info) != sizeof info) return 0;
  if (info.State != MEM_COMMIT) return 0;
  return reinterpret_cast<std::uintptr_t>(info.AllocationBase);
}

bool TProcessMemory::IsValid(std::uintptr_t address, std::size_t count) {
  if (count == 0) count = 1;
  if (address + count < address) return false;
  if (address >= FReadableLow && address + count <= FReadableHigh) return true;
  std::uintptr_t low = 0, high = 0;
  if (!ReadableRegion(address, low, high)) return false;
  FReadableLow = low;
  FReadableHigh = high;
  return address + count <= high || IsValidAddress(address, count);
}

bool TProcessMemory::Read(std::uintptr_t address, void* buffer, std::size_t count) {
  if (!IsValid(address, count)) return false;
  std::memcpy(buffer, reinterpret_cast<const void*>(address), count);
  return true;
}
