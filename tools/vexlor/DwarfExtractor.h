// Reads a linked mingw x86_64 executable's DWARF line tables, function ranges
// (inlined code included) and COFF symbol table into a TDebugSource.
#pragma once

#include <cstdint>
#include <string>

#include "tools/vexlor/DebugDataWriter.h"

struct TExtractedModule {
  std::uint64_t ImageBase = 0;
  TDebugSource Source;
  std::size_t LineRows = 0;        // DWARF rows inside the code section
  std::size_t SymbolSegments = 0;  // code described only by the symbol table
};

// False with a message when the file is no x86_64 PE or its code section
// starts below base + 0x1000. Code without line information is put under the
// unit moduleName (the file's own name when empty).
bool ExtractDebugSource(const std::string& fileName, TExtractedModule& result, std::string& error,
                        const std::string& moduleName = "");

// Splits a C++ mangled name into its scope ("ns::A") and own name ("f<int>");
// false when the name is no mangled function name.
bool SplitMangledName(const std::string& mangled, std::string& scope, std::string& name);
