// The hook registry as one object, built early and destroyed late; at the end
// it undoes the hooks whose slots still hold the reporter's replacement.
#include "reporter/hooking/HookRegistryWin.h"

#include <algorithm>

#include "reporter/config/InitOrder.h"
#include "reporter/config/Trace.h"
#include "reporter/hooking/HooksWin.h"

namespace {
// Constructed before the reporter's own start-up object and so destroyed
// after it: the hooks outlive every routine that could reach them.
THookRegistry registry VEXLOR_INIT_ORDER(kHookingInitPriority);
}  // namespace

THookRegistry& HookRegistry() {
  return registry;
}

THookRegistry::~THookRegistry() {
  UndoAll();
}

void THookRegistry::RemoveCodeHook(THookRecord* record) {
  codeHooks_.erase(std::remove(codeHooks_.begin(), codeHooks_.end(), record), codeHooks_.end());
}

void THookRegistry::UndoAll() {
  Trace("UndoAllHooks");
  while (!codeHooks_.empty()) UnhookProcedure(codeHooks_.front());
  std::vector<TImportHookRecord> imports;
  imports.swap(importHooks_);
  for (const TImportHookRecord& hook : imports) {
    // A slot that no longer holds our replacement was patched by someone
    // else after us; it is left as it is (the end of the process must not
    // raise).
    try {
      HookImport(hook.Module, hook.Replacement, hook.Replaced, true, false, "");
    } catch (const EHookError&) {
    }
  }
}

void UndoAllHooks() {
  registry.UndoAll();
}
