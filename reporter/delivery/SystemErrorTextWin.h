// The system's own text for an error code, as messages of delivery quote it.
#pragma once

#include <string>

// "Connection refused." for 10061; the code's number when the system has no
// text for it. Without the trailing line end.
std::string SystemErrorText(unsigned long code);
