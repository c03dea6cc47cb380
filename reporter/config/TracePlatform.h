// What the internal trace and the reporter's own error reporting need from the
// operating system. TracePlatformWin.cpp answers on Windows,
// TracePlatformNative.cpp natively.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reporter/config/TraceFormat.h"

// Full file name of the running executable.
std::string PlatformExecutablePath();
// Command-line parameters without the program itself.
std::vector<std::string> PlatformCommandLineParameters();
// Header line 3 of the trace.
std::string PlatformSystemVersionText();
std::uint32_t PlatformCurrentThreadId();
bool PlatformIsMainThread();
// Text for an attached debugger (OutputDebugString); nothing natively.
void PlatformDebuggerOutput(const std::string& text);
// The loader-backed inspector; natively one that knows no modules.
const TAddressInspector& PlatformAddressInspector();
