// Resolving an address in one module: its debug data when it has some, else the
// export whose range holds it (a binary search over the sorted exports).
#include "reporter/debugdata/AddressLookup.h"

#include "reporter/debugdata/DebugData.h"
#include "reporter/debugdata/ProcedureName.h"

const TVexlorFunctionInfo* FindExport(const TVexlorFunctionsList& list, std::uintptr_t address) {
  if (list.empty()) return nullptr;
  std::ptrdiff_t low = 0, high = static_cast<std::ptrdiff_t>(list.size()) - 1;
  std::ptrdiff_t found = -1;
  while (low <= high) {
    const std::ptrdiff_t middle = (low + high) / 2;
    const TVexlorFunctionInfo& entry = list[static_cast<std::size_t>(middle)];
    if (entry.Address <= address && address - entry.Address <= entry.Size) {
      found = middle;  // keep looking left for an earlier entry that also holds it
      high = middle - 1;
    } else if (entry.Address < address) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  if (found < 0) return nullptr;
  // With overlapping ranges the leftmost index need not hold the address.
  const TVexlorFunctionInfo& leftmost = list[static_cast<std::size_t>(low)];
  if (leftmost.Address <= address && address - leftmost.Address <= leftmost.Size) return &leftmost;
  return &list[static_cast<std::size_t>(found)];
}

TVexlorDebugInfo ResolveInModule(TVexlorModuleInfo* module, std::uintptr_t address) {
  TVexlorDebugInfo info;
  info.Address = address;
  if (module == nullptr) return info;
  if (module->HasDebugData() &&
      LookupDebugData(module->DebugData.data(), module->DebugData.size(), module->DebugVersion,
                      module->Handle, address, info, &module->DebugUnitIndex)) {
    info.ModuleInfo = module;
    return info;
  }
  info = TVexlorDebugInfo();
  info.Address = address;
  info.Kind = dikModule;
  info.ModuleInfo = module;
  if (const TVexlorFunctionInfo* entry = FindExport(module->FunctionsList, address))
    ParseProcedureName(entry->Name, info);
  return info;
}

std::vector<TVexlorDebugInfo> ResolveInlineCallers(TVexlorModuleInfo* module,
                                                   std::uintptr_t address) {
  std::vector<TVexlorDebugInfo> callers;
  if (module == nullptr || !module->HasDebugData()) return callers;
  LookupInlineCallers(module->DebugData.data(), module->DebugData.size(), module->DebugVersion,
                      module->Handle, address, callers, &module->DebugUnitIndex);
  for (TVexlorDebugInfo& caller : callers) caller.ModuleInfo = module;
  return callers;
}

std::uintptr_t FindProcedureInModule(const TVexlorModuleInfo& module, const std::string& name) {
  if (!module.HasDebugData()) return 0;
  const auto offset = FindProcedureOffset(module.DebugData.data(), module.DebugData.size(),
                                          module.DebugVersion, name);
  return offset ? module.Handle + kCodeOffsetBase + *offset : 0;
}
