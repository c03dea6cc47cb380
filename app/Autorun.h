// Starting with Windows through the machine-wide Run key, and the program's
// version text for the About box.
#pragma once

#include <string>

bool IsAutorunEnabled();
// Shows a message box when the key cannot be opened or written.
void SetAutorun(bool Enabled);
// "1.0.0 build 12" from the executable's own version resource.
std::wstring GetVersionText();
// The running executable's full path.
std::wstring ExePath();
