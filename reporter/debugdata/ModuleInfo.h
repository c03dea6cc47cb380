// The records the reporter keeps about each loaded module: file facts,
// exported procedures, reporter options and debug data.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "reporter/debugdata/DebugData.h"

class TVexlorModuleOptionsEx;

// The version every reporter data of this build is written with; also what a
// module without reporter data reports.
constexpr std::uint16_t kVexlorDataVersion = 458;

// One exported procedure of a module without debug data.
struct TVexlorFunctionInfo {
  std::string Name;
  std::uintptr_t Address = 0;
  std::uint32_t Size = 0;  // estimated byte count; the range includes Address + Size
};

// Sorted by ascending Address.
using TVexlorFunctionsList = std::vector<TVexlorFunctionInfo>;

enum TVexlorModuleKind : std::uint8_t {
  mkNotDetermined = 0,  // light record, built while the modules are enumerated
  mkExecutable = 1,
  mkPackage = 2,  // library with PACKAGEINFO and PACKAGEOPTIONS resources
  mkLibrary = 3,
};

struct TVexlorModuleInfo {
  std::uintptr_t Handle = 0;  // module base address
  std::string FileName;
  std::string Description;  // FileDescription of the version resource
  std::string Version;      // "a.b.c.d", empty for 0.0.0.0 or no version resource
  std::uint32_t FileSize = 0;
  TVexlorFunctionsList FunctionsList;
  std::uint8_t ModuleKind = mkNotDetermined;
  std::uint16_t DebugVersion = kVexlorDataVersion;
  double DebugStamp = 0;  // days since 1899-12-30 when the data was attached
  // Shared only so that this header needs no options declaration; the record
  // is the one owner.
  std::shared_ptr<TVexlorModuleOptionsEx> Options;
  std::vector<std::uint8_t> DebugData;  // empty: the module has no debug data
  // Positions of the unit headers in DebugData, built when it is loaded, so a
  // lookup decodes one unit instead of scanning all of them.
  std::vector<TDebugUnitIndexEntry> DebugUnitIndex;

  bool HasDebugData() const { return !DebugData.empty(); }
};
