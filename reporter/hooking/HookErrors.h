// Failures of the patching primitives. They stay inside the hooking layer's
// callers (start-up, the framework handler hooks), which catch them.
#pragma once

#include <string>

#include "runtime/Exceptions.h"

class EHookError : public Exception {
 public:
  using Exception::Exception;
};

// The procedure to hook is null.
class EProcNull : public EHookError {
 public:
  explicit EProcNull(const std::string& procName);
};

// A module or procedure in the shared system area of a non-NT Windows.
class ESharedArea : public EHookError {
 public:
  explicit ESharedArea(const std::string& moduleFileName);
};

// The patch could not be built or written, or an import hook found no slot.
class EHookingError : public EHookError {
 public:
  explicit EHookingError(const std::string& procName);
};
