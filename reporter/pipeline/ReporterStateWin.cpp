// The reporter's process-wide values, set by its start-up.
#include "reporter/pipeline/ReporterStateWin.h"

#include <memory>

#include "reporter/config/ModuleMapping.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "runtime/Exceptions.h"

namespace {

// Filled by the reporter's start-up, which runs before the ordinary static
// objects are built: a plain object here would be built after it and lose
// the value.
std::string& StartupDirectoryStore() {
  static std::string& directory = *new std::string;
  return directory;
}
TVexlorModuleOptionsEx* moduleOptions = nullptr;
// Never destroyed: a report may be made while static objects are destroyed.
TVexlorModuleOptionsEx* workingOptions = nullptr;
HANDLE mainThreadHandle = nullptr;

TVexlorModuleOptions* InstalledOptions() {
  return moduleOptions;
}

}  // namespace

TVexlorModuleOptionsEx& CurrentVexlorLogOptions() {
  TraceEnter("CurrentVexlorLogOptions");
  const bool found = moduleOptions != nullptr;
  TraceExit("CurrentVexlorLogOptions", {found});
  if (!found) {
    throw Exception("Cannot use 'CurrentVexlorLogOptions' function without VexlorLog activate.");
  }
  return *moduleOptions;
}

void SetCurrentVexlorLogOptions(TVexlorModuleOptionsEx* options) {
  if (options) {
    moduleOptions = options;
    SetCurrentVexlorLogOptionsFunc(&InstalledOptions);
  } else {
    SetCurrentVexlorLogOptionsFunc(nullptr);
    moduleOptions = nullptr;
  }
}

TVexlorModuleOptionsEx& WorkingOptions() {
  if (!workingOptions) workingOptions = new TVexlorModuleOptionsEx(ReporterModuleFileName(), false);
  return *workingOptions;
}

std::uintptr_t ReporterModuleHandle() {
  return ThisModuleHandle();
}

bool ReporterModuleIsLibrary() {
  return ReporterModuleHandle() != reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
}

std::string ReporterModuleFileName() {
  char name[MAX_PATH] = {};
  GetModuleFileNameA(reinterpret_cast<HMODULE>(ReporterModuleHandle()), name, MAX_PATH);
  return name;
}

HANDLE MainThreadHandle() {
  return mainThreadHandle;
}

void SetMainThreadHandle(HANDLE handle) {
  if (mainThreadHandle && mainThreadHandle != handle) CloseHandle(mainThreadHandle);
  mainThreadHandle = handle;
}

std::string StartupDirectory() {
  return StartupDirectoryStore();
}

void SetStartupDirectory(const std::string& directory) {
  StartupDirectoryStore() = directory;
}
