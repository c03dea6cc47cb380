// File facts of loaded modules (Windows): the module file name as the report
// and the modules list print it, and a file's version resource.
#pragma once

#include <cstdint>
#include <string>

// Description and four-part file version from a file's version resource;
// both empty when the file has none.
struct TFileVersionInfo {
  std::string Description;
  std::string Version;
};

// The file name of a loaded module (0: the program's own executable), with a
// device-path prefix cut back to the drive letter; empty when the handle names
// no module.
std::string ModuleFileName(std::uintptr_t module);

// The file name of the loaded module that holds an address, as the system
// gives it; empty when no module holds it.
std::string ModuleFileNameOfAddress(const void* address);

// Description of the first translation (only when it has at least one
// character) and the fixed file version as "a.b.c.d" (empty for 0.0.0.0).
// A file without a version resource gives two empty texts.
TFileVersionInfo ReadVersionInfo(const std::string& fileName);
