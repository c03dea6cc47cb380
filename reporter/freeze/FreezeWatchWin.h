// Freeze detection's start and stop, as the options switch it: the control
// the reporter's start-up installs for FreezeWatchStart / FreezeWatchStop.
#pragma once

#include <cstdint>

// Installs the control (start-up); it stays for the life of the process.
void InstallFreezeWatch();

// Whether a watcher runs now, and the probes it has sent (tests and the
// benchmark).
bool FreezeWatchRunning();
std::uint64_t FreezeWatchProbeCount();
