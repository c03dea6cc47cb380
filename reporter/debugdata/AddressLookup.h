// Resolution of an address inside a known module: the module's debug data
// first, then its exported procedures. Portable; the running process and the
// vexlor tool resolve through this same code.
#pragma once

#include <cstdint>
#include <vector>

#include "reporter/debugdata/DebugInfo.h"
#include "reporter/debugdata/ModuleInfo.h"

// Kind 4 from the debug data, else kind 2/3 from an export, else kind 1
// (module known) or 0 (module null).
TVexlorDebugInfo ResolveInModule(TVexlorModuleInfo* module, std::uintptr_t address);

// For an address in inlined code of the module, one row per call it was
// inlined through, innermost first (see LookupInlineCallers); empty otherwise.
std::vector<TVexlorDebugInfo> ResolveInlineCallers(TVexlorModuleInfo* module,
                                                   std::uintptr_t address);

// Address of a qualified procedure name in the module's debug data, 0 when the
// data or the name is missing.
std::uintptr_t FindProcedureInModule(const TVexlorModuleInfo& module, const std::string& name);

// The exported procedure whose range [Address, Address + Size] holds the
// address: the first one in address order; null when none does.
const TVexlorFunctionInfo* FindExport(const TVexlorFunctionsList& list, std::uintptr_t address);
