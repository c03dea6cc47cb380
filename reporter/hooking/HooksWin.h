// Replacing procedures of the running process: code-overwrite hooks with a
// trampoline that still reaches the replaced code, and import-slot hooks.
// Installed and removed while no other thread runs reporter code; every hook
// still known at the end of the process is undone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "reporter/hooking/HookErrors.h"

struct THookRecord;

// Copies count bytes over code: makes the range writable, restores its
// protection and flushes the instruction cache. False when the range could
// not be made writable.
bool WriteCode(void* address, const void* source, std::size_t count);

// Redirects target to replacement and returns the trampoline entry: the
// address to call in place of the target. Both may be import thunks.
void* HookProcedure(void* target, void* replacement, const std::string& name);
// Restores the target's bytes and forgets the hook; null does nothing.
void UnhookProcedure(THookRecord* record);
// Writes the patch again after a call through the trampoline raised.
void RehookProcedure(void* trampolineEntry);
// The record behind a trampoline entry (for UnhookProcedure).
THookRecord* HookRecordOfTrampoline(void* trampolineEntry);

// Patches every import slot of the module's code that holds replaced and is
// read by a "jmp/call [rip+x]". Returns replaced when any slot was patched,
// otherwise null (or raises EHookingError unless noRaise).
void* HookImport(HMODULE module, void* replaced, void* replacement, bool noRecord, bool noRaise,
                 const std::string& name);

// HookImport of libraryName's function in every loaded module of the list
// (empty names are skipped). realAddress receives the real function in every
// case. True when any slot was patched.
bool HookImportInModules(const std::vector<std::string>& moduleNames,
                         const std::string& libraryName, bool noRaise, void*& realAddress,
                         void* replacement, const std::string& functionName);

// Undoes every code-overwrite hook, then every import hook. Runs at the end of
// the process; callable earlier (tests).
void UndoAllHooks();
