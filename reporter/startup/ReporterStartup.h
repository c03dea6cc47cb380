// The reporter's start-up and shutdown, tied to C++ static initialisation:
// it starts before the application's own static objects and ends after them.
// Inert unless its module carries debug data. The values start-up sets are
// read through reporter/pipeline/ReporterStateWin.h.
#pragma once

class TVexlorModuleOptionsEx;

// Start-up without the debug-data test: installs every hook with the given
// options as this module's (the test programs of the reporter itself, which
// carry no attached data, and the normal start-up once the data is found).
void StartInterception(TVexlorModuleOptionsEx* moduleOptions);
void StopInterception();
