// The messages of the patching failures.
#include "reporter/hooking/HookErrors.h"

EProcNull::EProcNull(const std::string& procName)
    : EHookError("Cannot hook a null procedure (\"" + procName + "\").") {}

ESharedArea::ESharedArea(const std::string& moduleFileName)
    : EHookError("Cannot hook the module \"" + moduleFileName +
                 "\" located into the shared-area.") {}

EHookingError::EHookingError(const std::string& procName)
    : EHookError("Cannot hook the procedure \"" + procName + "\".") {}
