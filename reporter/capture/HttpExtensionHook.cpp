// The hook rewrites the export table entry instead of the function's first
// bytes: the server calls the entry on many threads at once, and an
// unhook-call-rehook trampoline would let concurrent requests run past the
// replacement or execute bytes being rewritten. The server looks the entry up
// after the module has loaded, which is after the reporter's start-up.
#include "reporter/capture/HttpExtensionHook.h"

#include <cstdint>
#include <cstring>

#include "reporter/config/Trace.h"
#include "reporter/hooking/HooksWin.h"

namespace {

using THttpExtensionProc = DWORD(WINAPI*)(void* extensionControlBlock);

constexpr char kExportName[] = "HttpExtensionProc";

struct TExportHook {
  DWORD* Slot = nullptr;
  DWORD OriginalRva = 0;
  THttpExtensionProc Original = nullptr;
};
TExportHook hook;

// The export address table entry of a named function; null when the module
// has no such export or forwards it to another module.
DWORD* ExportSlot(HMODULE module, const char* name) {
  auto* base = reinterpret_cast<std::uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0 || directory.Size == 0) return nullptr;
  const auto* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  const auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
  auto* functions = reinterpret_cast<DWORD*>(base + exports->AddressOfFunctions);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    if (std::strcmp(reinterpret_cast<const char*>(base + names[i]), name) != 0) continue;
    if (ordinals[i] >= exports->NumberOfFunctions) return nullptr;
    DWORD* slot = &functions[ordinals[i]];
    const bool forwarded =
        *slot >= directory.VirtualAddress && *slot < directory.VirtualAddress + directory.Size;
    return forwarded ? nullptr : slot;
  }
  return nullptr;
}

DWORD WINAPI HookedHttpExtensionProc(void* extensionControlBlock) {
  TraceEnter("HookedHttpExtensionProc", {extensionControlBlock});
  void* const outer = CurrentExtensionControlBlock();
  SetCurrentExtensionControlBlock(extensionControlBlock);
  // Restored however the request ends: a raise leaves through here too.
  struct TRestore {
    void* Value;
    ~TRestore() { SetCurrentExtensionControlBlock(Value); }
  } restore{outer};
  const DWORD result = hook.Original(extensionControlBlock);
  TraceExit("HookedHttpExtensionProc", {result});
  return result;
}

}  // namespace

bool InstallHttpExtensionHook(HMODULE module) {
  TraceEnter("InstallHttpExtensionHook", {static_cast<void*>(module)});
  bool installed = false;
  if (!hook.Slot) {
    DWORD* slot = ExportSlot(module, kExportName);
    const auto base = reinterpret_cast<std::uintptr_t>(module);
    const auto replacement = reinterpret_cast<std::uintptr_t>(&HookedHttpExtensionProc);
    // The table holds 32-bit offsets from the module: the replacement must
    // lie above the module within their reach (it does when the reporter is
    // part of the module).
    if (slot && replacement > base && replacement - base <= 0xFFFFFFFFu) {
      const auto rva = static_cast<DWORD>(replacement - base);
      const DWORD original = *slot;
      if (WriteCode(slot, &rva, sizeof(rva))) {
        hook = {slot, original, reinterpret_cast<THttpExtensionProc>(base + original)};
        installed = true;
      }
    }
  }
  TraceExit("InstallHttpExtensionHook", {installed});
  return installed;
}

void RemoveHttpExtensionHook() {
  if (!hook.Slot) return;
  WriteCode(hook.Slot, &hook.OriginalRva, sizeof(hook.OriginalRva));
  // Original stays: requests that entered the replacement still call it.
  hook.Slot = nullptr;
}
