// The class library's central handler, found by name in the reporter's data
// and replaced by a code hook that lets the reporter decide first.
#include "reporter/capture/AppKindHandlers.h"

#include "reporter/capture/GoNotify.h"
#include "reporter/config/Trace.h"
#include "reporter/debugdata/DebugLookup.h"
#include "reporter/hooking/HooksWin.h"

namespace {

constexpr char kGUIHandlerName[] = "Forms.TApplication.HandleException";

// The member function's arguments: the application object, then Sender.
using TGUIHandleException = void (*)(void* application, void* sender);
void* guiTrampoline = nullptr;

void Hooked_GUIHandleException(void* application, void* sender) {
  TraceEnter("Hooked_GUIHandleException", {application, sender});
  if (ExceptionManager()) {
    try {
      reinterpret_cast<TGUIHandleException>(guiTrampoline)(application, sender);
    } catch (...) {
      // The trampoline skipped its re-patch when the handler raised.
      RehookProcedure(guiTrampoline);
      throw;
    }
  }
  TraceExit("Hooked_GUIHandleException");
}

}  // namespace

void InstallAppKindHandlers() {
  TraceEnter("InstallAppKindHandlers");
  // A second start of the interception finds the entry already patched.
  if (guiTrampoline) {
    TraceExit("InstallAppKindHandlers", {true});
    return;
  }
  if (const std::uintptr_t handler = FindProcedureAddress(kGUIHandlerName)) {
    guiTrampoline =
        HookProcedure(reinterpret_cast<void*>(handler),
                      reinterpret_cast<void*>(&Hooked_GUIHandleException), kGUIHandlerName);
  }
  TraceExit("InstallAppKindHandlers", {guiTrampoline != nullptr});
}

void RemoveAppKindHandlers() {
  if (guiTrampoline) UnhookProcedure(HookRecordOfTrampoline(guiTrampoline));
  guiTrampoline = nullptr;
}

bool GUIHandlerInstalled() {
  return guiTrampoline != nullptr;
}
