// The options class the reporter actually creates: it publishes every change
// of the running module's own options to the module options mapping, and
// switches freeze detection with Active and FreezeActivate.
#pragma once

#include "reporter/config/ModuleOptions.h"

class TVexlorModuleOptionsEx : public TVexlorModuleOptions {
 public:
  TVexlorModuleOptionsEx(std::string moduleName, bool publishChanges);

  // Writes the byte 1 and the options stream into this module's block. A
  // failure is traced, never raised: the application changed an option.
  void Changed() override;
  void SetActive(bool value) override;
  void SetFreezeActivate(bool value) override;
};

// The copy an application changes at run time: the capture layer installs the
// function that returns it. Only that copy starts and stops freeze detection.
using TCurrentOptionsFunc = TVexlorModuleOptions* (*)();
void SetCurrentVexlorLogOptionsFunc(TCurrentOptionsFunc func);
TVexlorModuleOptions* CurrentVexlorLogOptionsOrNull();
