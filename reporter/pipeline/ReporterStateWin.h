// The values the reporter's start-up sets and the rest of the reporter reads:
// this module's options and the pipeline's working copy, the main thread's
// handle, the directory the program started in.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class TVexlorModuleOptionsEx;

// This module's options in the modules list. Raises when the reporter is not
// active ("Cannot use 'CurrentVexlorLogOptions' function without VexlorLog
// activate.").
TVexlorModuleOptionsEx& CurrentVexlorLogOptions();
// Also installs (or, for null, removes) the function through which the
// options code finds this copy.
void SetCurrentVexlorLogOptions(TVexlorModuleOptionsEx* options);

// The copy the pipeline fills for each report with the options of the
// module where the exception happened.
TVexlorModuleOptionsEx& WorkingOptions();

std::uintptr_t ReporterModuleHandle();
bool ReporterModuleIsLibrary();
// The file name of the module that carries the reporter.
std::string ReporterModuleFileName();

// The main thread's handle, duplicated at start-up with the rights to suspend
// it and read its context (freeze reports); null while inactive. The state
// owns it: a new handle closes the old one.
HANDLE MainThreadHandle();
void SetMainThreadHandle(HANDLE handle);

// The current directory when the reporter started (restarts run there).
std::string StartupDirectory();
void SetStartupDirectory(const std::string& directory);
