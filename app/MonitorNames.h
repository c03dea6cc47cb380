// The lines of the settings window's monitor list.
#pragma once

#include <string>
#include <vector>

// "Монитор N" with " (основной)" for the primary monitor; N counts from 1.
std::wstring MonitorName(int Index, bool Primary);
// One line per monitor, in the order given (the system's order).
std::vector<std::wstring> MonitorNames(const std::vector<bool>& PrimaryFlags);
