// Import-slot hooks. mingw reaches an imported function either through a
// thunk "jmp [rip+x]" (FF 25) or, for functions declared as imports, directly
// with "call [rip+x]" (FF 15); both read the same slot of the import table,
// which is what gets rewritten.
#include <cstring>

#include "reporter/config/Trace.h"
#include "reporter/debugdata/ForeignMemory.h"
#include "reporter/debugdata/ModuleFiles.h"
#include "reporter/hooking/HookRegistryWin.h"
#include "reporter/hooking/HooksWin.h"

namespace {

bool IsNonNTPlatform() {
  return (GetVersion() & 0x80000000u) != 0;
}

struct TCodeRange {
  std::uint8_t* First = nullptr;
  std::size_t Size = 0;
};

// The code range named by the module's optional header; empty when the
// headers or the start of the range cannot be read.
TCodeRange ModuleCodeRange(HMODULE module) {
  auto* base = reinterpret_cast<std::uint8_t*>(module);
  IMAGE_DOS_HEADER dos;
  if (!ReadForeign(base, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return {};
  IMAGE_NT_HEADERS nt;
  if (!ReadForeign(base + dos.e_lfanew, nt) || nt.Signature != IMAGE_NT_SIGNATURE) return {};
  TCodeRange range{base + nt.OptionalHeader.BaseOfCode, nt.OptionalHeader.SizeOfCode};
  std::uint32_t first = 0;
  if (range.Size == 0 || !ReadForeign(range.First, first)) return {};
  return range;
}

}  // namespace

void* HookImport(HMODULE module, void* replaced, void* replacement, bool noRecord, bool noRaise,
                 const std::string& name) {
  TraceEnter("HookImport",
             {static_cast<void*>(module), replaced, replacement, noRecord, noRaise, name});
  if (!replaced) throw EProcNull(name);
  if (IsNonNTPlatform() && reinterpret_cast<std::uintptr_t>(module) > 0x7FFFFFFF) {
    throw ESharedArea(ModuleFileNameOfAddress(module));
  }

  int patched = 0;
  const TCodeRange code = ModuleCodeRange(module);
  // The range may end in the middle of an instruction; only whole ones count.
  for (std::size_t i = 0; code.Size >= 6 && i <= code.Size - 6; ++i) {
    const std::uint8_t* at = code.First + i;
    if (at[0] != 0xFF || (at[1] != 0x25 && at[1] != 0x15)) continue;
    std::int32_t rel = 0;
    std::memcpy(&rel, at + 2, 4);
    void* slot = const_cast<std::uint8_t*>(at + 6 + rel);
    void* held = nullptr;
    if (!ReadForeign(slot, held) || held != replaced) continue;
    if (WriteCode(slot, &replacement, sizeof(replacement))) ++patched;
  }

  void* result = nullptr;
  if (patched > 0) {
    if (!noRecord) HookRegistry().AddImportHook({module, replaced, replacement});
    result = replaced;
  } else if (!noRaise) {
    throw EHookingError(name);
  }
  TraceExit("HookImport", {result, patched});
  return result;
}

bool HookImportInModules(const std::vector<std::string>& moduleNames,
                         const std::string& libraryName, bool noRaise, void*& realAddress,
                         void* replacement, const std::string& functionName) {
  TraceEnter("HookImportInModules", {libraryName, functionName, noRaise});
  HMODULE library = GetModuleHandleA(libraryName.c_str());
  realAddress =
      library ? reinterpret_cast<void*>(GetProcAddress(library, functionName.c_str())) : nullptr;
  bool any = false;
  for (const std::string& moduleName : moduleNames) {
    if (moduleName.empty()) continue;
    HMODULE module = GetModuleHandleA(moduleName.c_str());
    if (!module) continue;
    if (HookImport(module, realAddress, replacement, false, noRaise,
                   libraryName + "." + functionName)) {
      any = true;
    }
  }
  TraceExit("HookImportInModules", {any, realAddress});
  return any;
}
