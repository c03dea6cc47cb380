#include "reporter/capture/ForeignMemory.h"

#include <algorithm>

bool TInspectorMemoryReader::IsValid(std::uintptr_t address, std::size_t count) {
  // The inspector answers by copying; a small buffer walks larger ranges.
  std::uint8_t chunk[256];
  while (count > 0) {
    const std::size_t part = std::min(count, sizeof(chunk));
    if (!CurrentAddressInspector().ReadBytes(reinterpret_cast<const void*>(address), chunk, part)) {
      return false;
    }
    address += part;
    count -= part;
  }
  return true;
}

bool TInspectorMemoryReader::Read(std::uintptr_t address, void* buffer, std::size_t count) {
  return CurrentAddressInspector().ReadBytes(reinterpret_cast<const void*>(address), buffer, count);
}

TVexlorMemoryReader& ProcessMemory() {
  static TInspectorMemoryReader reader;
  return reader;
}

void* ResolveImportThunk(void* address) {
  return reinterpret_cast<void*>(
      ResolveImportThunk(ProcessMemory(), reinterpret_cast<std::uintptr_t>(address)));
}
