// Code-overwrite hooks. Each record lives in a page of its own that becomes
// read-only and executable once written; its trampoline is registered with the
// system's unwinder so that exceptions raised by the target pass through it.
#include <cstddef>
#include <cstring>
#include <memory>

#include "reporter/config/Trace.h"
#include "reporter/debugdata/DebugLookup.h"
#include "reporter/debugdata/ForeignMemory.h"
#include "reporter/debugdata/ModuleFiles.h"
#include "reporter/hooking/HookRegistryWin.h"
#include "reporter/hooking/HooksWin.h"
#include "reporter/hooking/JumpPatch.h"
#include "reporter/hooking/TrampolineCode.h"

struct THookRecord {
  void* Target;
  void* Replacement;
  // Read by the trampoline's "call [rip+x]" instructions.
  void* RestoreProc;
  void* TargetCall;
  void* RepatchProc;
  std::uint8_t SavedBytes[kMaxJumpPatchSize];
  std::uint8_t Patch[kMaxJumpPatchSize];
  std::uint8_t PatchSize;
  RUNTIME_FUNCTION Function;
  alignas(4) std::uint8_t UnwindInfo[8];
  alignas(16) std::uint8_t Code[512];
};

namespace {

constexpr std::size_t kRecordPage = 4096;
static_assert(sizeof(THookRecord) <= kRecordPage);

// Called from the trampoline with the record in RCX.
void RestoreTargetBytes(THookRecord* record) {
  WriteCode(record->Target, record->SavedBytes, record->PatchSize);
}
void RepatchTarget(THookRecord* record) {
  WriteCode(record->Target, record->Patch, record->PatchSize);
}

bool IsNonNTPlatform() {
  return (GetVersion() & 0x80000000u) != 0;
}

struct TPageDeleter {
  void operator()(THookRecord* record) const { VirtualFree(record, 0, MEM_RELEASE); }
};
using TRecordPage = std::unique_ptr<THookRecord, TPageDeleter>;

// Builds the record and its trampoline in a fresh page; null on failure.
TRecordPage BuildRecord(void* target, void* replacement) {
  TRecordPage record(static_cast<THookRecord*>(
      VirtualAlloc(nullptr, kRecordPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)));
  if (!record) return nullptr;
  THookRecord& r = *record;
  r.Target = target;
  r.Replacement = replacement;
  r.RestoreProc = reinterpret_cast<void*>(&RestoreTargetBytes);
  r.TargetCall = target;
  r.RepatchProc = reinterpret_cast<void*>(&RepatchTarget);

  const TJumpPatch patch = BuildJumpPatch(reinterpret_cast<std::uintptr_t>(target),
                                          reinterpret_cast<std::uintptr_t>(replacement));
  r.PatchSize = static_cast<std::uint8_t>(patch.Size);
  std::memcpy(r.Patch, patch.Bytes.data(), patch.Size);
  if (!CurrentAddressInspector().ReadBytes(target, r.SavedBytes, patch.Size)) return nullptr;

  TTrampolineAddresses at;
  at.Code = reinterpret_cast<std::uintptr_t>(r.Code);
  at.Record = reinterpret_cast<std::uintptr_t>(&r);
  at.RestoreSlot = reinterpret_cast<std::uintptr_t>(&r.RestoreProc);
  at.TargetSlot = reinterpret_cast<std::uintptr_t>(&r.TargetCall);
  at.RepatchSlot = reinterpret_cast<std::uintptr_t>(&r.RepatchProc);
  const std::vector<std::uint8_t> code = EmitTrampoline(at);
  if (code.empty() || code.size() > sizeof(r.Code)) return nullptr;
  std::memcpy(r.Code, code.data(), code.size());

  const auto info = TrampolineUnwindInfo();
  std::memcpy(r.UnwindInfo, info.data(), info.size());
  const auto base = reinterpret_cast<std::uintptr_t>(&r);
  r.Function.BeginAddress = static_cast<DWORD>(at.Code - base);
  r.Function.EndAddress = static_cast<DWORD>(at.Code - base + code.size());
  r.Function.UnwindData = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(r.UnwindInfo) - base);

  DWORD old = 0;
  if (!VirtualProtect(&r, kRecordPage, PAGE_EXECUTE_READ, &old)) return nullptr;
  FlushInstructionCache(GetCurrentProcess(), &r, kRecordPage);
  if (!RtlAddFunctionTable(&r.Function, 1, base)) return nullptr;
  return record;
}

}  // namespace

bool WriteCode(void* address, const void* source, std::size_t count) {
  DWORD old = 0;
  if (!VirtualProtect(address, count, PAGE_EXECUTE_READWRITE, &old)) return false;
  std::memcpy(address, source, count);
  DWORD ignored = 0;
  VirtualProtect(address, count, old, &ignored);
  FlushInstructionCache(GetCurrentProcess(), address, count);
  return true;
}

void* HookProcedure(void* target, void* replacement, const std::string& name) {
  TraceEnter("HookProcedure", {target, replacement, name});
  target = reinterpret_cast<void*>(ResolveImportThunk(reinterpret_cast<std::uintptr_t>(target)));
  replacement =
      reinterpret_cast<void*>(ResolveImportThunk(reinterpret_cast<std::uintptr_t>(replacement)));
  if (!target) throw EProcNull(name);
  if (IsNonNTPlatform() && reinterpret_cast<std::uintptr_t>(target) > 0x7FFFFFFF) {
    throw ESharedArea(ModuleFileNameOfAddress(target));
  }

  TRecordPage record = BuildRecord(target, replacement);
  if (!record) throw EHookingError(name);
  THookRecord* r = record.get();
  HookRegistry().AddCodeHook(r);
  record.release();
  if (!WriteCode(r->Target, r->Patch, r->PatchSize)) {
    UnhookProcedure(r);
    throw EHookingError(name);
  }
  TraceExit("HookProcedure", {static_cast<void*>(r->Code)});
  return r->Code;
}

void UnhookProcedure(THookRecord* record) {
  TraceEnter("UnhookProcedure", {static_cast<void*>(record)});
  if (!record) {
    TraceExit("UnhookProcedure");
    return;
  }
  WriteCode(record->Target, record->SavedBytes, record->PatchSize);
  HookRegistry().RemoveCodeHook(record);
  RtlDeleteFunctionTable(&record->Function);
  VirtualFree(record, 0, MEM_RELEASE);
  TraceExit("UnhookProcedure");
}

THookRecord* HookRecordOfTrampoline(void* trampolineEntry) {
  if (!trampolineEntry) return nullptr;
  return reinterpret_cast<THookRecord*>(static_cast<std::uint8_t*>(trampolineEntry) -
                                        offsetof(THookRecord, Code));
}

void RehookProcedure(void* trampolineEntry) {
  TraceEnter("RehookProcedure", {trampolineEntry});
  if (THookRecord* record = HookRecordOfTrampoline(trampolineEntry)) RepatchTarget(record);
  TraceExit("RehookProcedure");
}
