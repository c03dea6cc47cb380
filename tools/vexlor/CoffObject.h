// An executable opened with LLVM's object reader, for the commands that read
// its symbols, sections and DWARF. The file's bytes live as long as the object.
#pragma once

#include <llvm/Object/COFF.h>
#include <llvm/Support/MemoryBuffer.h>

#include <memory>
#include <string>

struct TCoffObject {
  std::unique_ptr<llvm::MemoryBuffer> Buffer;
  std::unique_ptr<llvm::object::ObjectFile> Object;
  const llvm::object::COFFObjectFile* Coff = nullptr;
};

// False with a message naming the file when it cannot be read or is not a PE
// file (with requireX64: not an x86_64 PE32+ executable).
bool OpenCoffObject(const std::string& fileName, bool requireX64, TCoffObject& result,
                    std::string& error);
