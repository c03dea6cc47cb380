// The exception a freeze report carries: nothing raises it, the freeze
// watcher hands it to the report pipeline with the main thread's registers.
// Its message is the FreezeMessage option.
#pragma once

#include "runtime/Exceptions.h"

class EFrozenApplication : public Exception {
 public:
  using Exception::Exception;
};
