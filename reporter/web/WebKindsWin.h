// The kind tests' questions answered by Windows for the running program.
#pragma once

#include "reporter/web/WebKinds.h"

TWebKindSystem& WindowsWebKindSystem();
