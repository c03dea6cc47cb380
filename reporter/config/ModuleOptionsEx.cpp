// Publishing the running module's changed options, and starting and stopping
// the freeze watcher when Active or FreezeActivate changes.
#include "reporter/config/ModuleOptionsEx.h"

#include <atomic>

#include "reporter/config/FreezeWatchControl.h"
#include "reporter/config/ModuleMapping.h"
#include "reporter/config/Trace.h"
#include "runtime/Streams.h"

namespace {
std::atomic<TCurrentOptionsFunc> currentOptionsFunc{nullptr};
std::atomic<TFreezeWatchControl*> freezeWatchControl{nullptr};
}  // namespace

void SetFreezeWatchControl(TFreezeWatchControl* control) {
  freezeWatchControl.store(control);
}

// An option set by the application must not raise into it: a watcher that
// cannot be started or stopped is traced and the option stays as set.
void FreezeWatchStart() {
  try {
    if (TFreezeWatchControl* control = freezeWatchControl.load()) control->Start();
  } catch (...) {
    Trace("FreezeWatchStart", {"failed"});
  }
}

void FreezeWatchStop() {
  try {
    if (TFreezeWatchControl* control = freezeWatchControl.load()) control->Stop();
  } catch (...) {
    Trace("FreezeWatchStop", {"failed"});
  }
}

void SetCurrentVexlorLogOptionsFunc(TCurrentOptionsFunc func) {
  currentOptionsFunc.store(func);
}

TVexlorModuleOptions* CurrentVexlorLogOptionsOrNull() {
  TCurrentOptionsFunc func = currentOptionsFunc.load();
  return func ? func() : nullptr;
}

TVexlorModuleOptionsEx::TVexlorModuleOptionsEx(std::string moduleName, bool publishChanges)
    : TVexlorModuleOptions(std::move(moduleName), publishChanges) {
  // The base constructor's defaults could not reach the override.
  ChangeCheck();
}

void TVexlorModuleOptionsEx::Changed() {
  try {
    TMemoryStream stream;
    SaveToStream(stream);
    if (!PublishOwnModuleOptions(stream.Bytes()))
      Trace("TVexlorModuleOptionsEx.Changed", {"publishing failed", ModuleName()});
  } catch (const std::exception& e) {
    Trace("TVexlorModuleOptionsEx.Changed", {e});
  } catch (...) {
    // Runs from the end of update brackets, also while a failed load unwinds.
  }
}

namespace {

void SwitchFreezeWatch(const TVexlorModuleOptions& options) {
  if (options.Active() && options.FreezeActivate())
    FreezeWatchStart();
  else
    FreezeWatchStop();
}

}  // namespace

void TVexlorModuleOptionsEx::SetActive(bool value) {
  if (CurrentVexlorLogOptionsOrNull() != this) {
    StoreActive(value);
    ChangeCheck();
    return;
  }
  if (value == Active()) return;
  StoreActive(value);
  ChangeCheck();
  SwitchFreezeWatch(*this);
}

void TVexlorModuleOptionsEx::SetFreezeActivate(bool value) {
  if (CurrentVexlorLogOptionsOrNull() != this) {
    StoreFreezeActivate(value);
    ChangeCheck();
    return;
  }
  if (value == FreezeActivate()) return;
  StoreFreezeActivate(value);
  ChangeCheck();
  SwitchFreezeWatch(*this);
}
