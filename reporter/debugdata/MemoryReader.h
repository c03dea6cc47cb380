// Access to memory that the reporter does not own: the faulting thread's
// stack and the code its values point into. The process implementation tests
// with the virtual-memory system; tests use synthetic memory.
#pragma once

#include <cstddef>
#include <cstdint>

class TVexlorMemoryReader {
 public:
  virtual ~TVexlorMemoryReader() = default;
  // Committed and readable for count bytes.
  virtual bool IsValid(std::uintptr_t address, std::size_t count) = 0;
  // Copies count bytes; false when the memory could not be read (it may have
  // become unreadable since IsValid).
  virtual bool Read(std::uintptr_t address, void* buffer, std::size_t count) = 0;
};

// The target of an import jump stub (FF 25 rel32: jump through the pointer in
// the slot at the stub's end + rel32), or the address unchanged.
std::uintptr_t ResolveImportThunk(TVexlorMemoryReader& memory, std::uintptr_t address);

// Size estimate of an exported procedure that starts at start: up to its first
// return (C3, C2 imm16), behind a frame teardown (5D pop rbp / C9 leave) when
// it sets up a frame (55 push rbp); 1 when no return lies before codeEnd.
std::uint32_t EstimateProcedureSize(TVexlorMemoryReader& memory, std::uintptr_t start,
                                    std::uintptr_t codeEnd);
