// The web-server entry of a module that exports one ("HttpExtensionProc"):
// while a request runs through it, the request's extension control block is
// known to the reporter, for the page a web report writes back.
#pragma once

#include <windows.h>

#include "reporter/interception/ExtensionControlBlockWin.h"

// Redirects the module's export to the reporter's replacement; false when the
// module exports no such function (or only forwards it elsewhere).
bool InstallHttpExtensionHook(HMODULE module);
// Puts the original export back.
void RemoveHttpExtensionHook();

// The replacement records each request's extension control block for the
// calling thread: CurrentExtensionControlBlock().
