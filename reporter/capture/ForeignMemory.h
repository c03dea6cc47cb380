// Reads of memory the reporter does not own (other modules' headers, import
// slots, stacks), through the process's address inspector: nothing is read
// unless all of it is committed and readable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "reporter/capture/MemoryReader.h"
#include "reporter/config/TraceFormat.h"

template <class T>
bool ReadForeign(const void* address, T& out) {
  return CurrentAddressInspector().ReadBytes(address, &out, sizeof(T));
}

// The running process's memory as the stack scan and the thunk resolution
// read it, backed by the same inspector.
class TInspectorMemoryReader : public TVexlorMemoryReader {
 public:
  bool IsValid(std::uintptr_t address, std::size_t count) override;
  bool Read(std::uintptr_t address, void* buffer, std::size_t count) override;
};

TVexlorMemoryReader& ProcessMemory();

// The target of an import thunk of the running process, or the address.
void* ResolveImportThunk(void* address);
