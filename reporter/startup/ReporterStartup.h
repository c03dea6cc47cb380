// The reporter's start-up and shutdown, tied to C++ static initialisation:
// it starts before the application's own static objects and ends after them.
// Inert unless its module carries debug data.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class TVexlorModuleOptionsEx;

// This module's options in the modules list. Raises when the reporter is not
// active ("Cannot use 'CurrentVexlorLogOptions' function without VexlorLog
// activate.").
TVexlorModuleOptionsEx& CurrentVexlorLogOptions();
// The copy the pipeline fills for each report with the options of the
// module where the exception happened.
TVexlorModuleOptionsEx& WorkingOptions();

std::uintptr_t ReporterModuleHandle();
// The main thread's handle, duplicated at start-up with the rights to suspend
// it and read its context (freeze reports); null while inactive.
HANDLE MainThreadHandle();
bool ReporterModuleIsLibrary();
// The current directory when the reporter started (restarts run there).
std::string StartupDirectory();

// Start-up without the debug-data test: installs every hook with the given
// options as this module's (the test programs of the reporter itself, which
// carry no attached data, and the normal start-up once the data is found).
void StartInterception(TVexlorModuleOptionsEx* moduleOptions);
void StopInterception();
