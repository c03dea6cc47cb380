// Memory of the running process, tested before it is read: the reporter runs
// after a fault and must not fault itself. Windows only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "reporter/debugdata/MemoryReader.h"

// Committed and readable for count bytes (all regions the range spans).
bool IsValidAddress(std::uintptr_t address, std::size_t count);
// Allocation base of the committed region holding the address (the module
// handle for code), or 0.
std::uintptr_t ModuleOfAddress(std::uintptr_t address);

// Reads after a validity test; remembers the last readable region, since a
// stack walk asks about the same few regions again and again.
class TProcessMemory : public TVexlorMemoryReader {
 public:
  bool IsValid(std::uintptr_t address, std::size_t count) override;
  bool Read(std::uintptr_t address, void* buffer, std::size_t count) override;

 private:
  std::uintptr_t FReadableLow = 0, FReadableHigh = 0;
};
