// The two process-wide hook lists. They are created before any other reporter
// object and destroyed after all of them, undoing every hook still listed.
#pragma once

#include <vector>

#include <windows.h>

struct THookRecord;

struct TImportHookRecord {
  HMODULE Module;
  void* Replaced;
  void* Replacement;
};

class THookRegistry {
 public:
  THookRegistry() = default;
  ~THookRegistry();
  THookRegistry(const THookRegistry&) = delete;
  THookRegistry& operator=(const THookRegistry&) = delete;

  void AddCodeHook(THookRecord* record) { codeHooks_.push_back(record); }
  void RemoveCodeHook(THookRecord* record);
  void AddImportHook(const TImportHookRecord& record) { importHooks_.push_back(record); }

  // Code hooks first (always the first of the list), then import slots.
  void UndoAll();

 private:
  std::vector<THookRecord*> codeHooks_;
  std::vector<TImportHookRecord> importHooks_;
};

THookRegistry& HookRegistry();
