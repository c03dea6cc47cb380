// One resolved code address: the item of a call stack and the answer of an
// address lookup.
#pragma once

#include <cstdint>
#include <string>

struct TVexlorModuleInfo;

// How much is known about an address, from nothing to a source line.
enum TVexlorDebugInfoKind : std::uint8_t {
  dikAddressOnly = 0,
  dikModule = 1,      // module known
  dikProcedure = 2,   // procedure name known, no unit
  dikExportName = 3,  // unit (and class) and procedure from an export name
  dikSourceLine = 4,  // unit, class, procedure and line from the debug data
};

struct TVexlorDebugInfo {
  std::uint8_t Kind = dikAddressOnly;
  TVexlorModuleInfo* ModuleInfo = nullptr;  // owned by the modules list; null for kind 0
  std::uintptr_t Address = 0;
  std::string UnitName;
  std::string ClassName;  // empty for plain procedures
  std::string ProcedureName;
  std::int32_t Line = 0;  // 0 when no line is recorded
};
