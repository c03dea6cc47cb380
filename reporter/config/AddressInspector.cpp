// The address inspector in use: the platform's, unless a test has set its own.
#include <atomic>

#include "reporter/config/TraceFormat.h"
#include "reporter/config/TracePlatform.h"

namespace {
std::atomic<const TAddressInspector*> replacedInspector{nullptr};
}  // namespace

const TAddressInspector& CurrentAddressInspector() {
  const TAddressInspector* inspector = replacedInspector.load();
  return inspector ? *inspector : PlatformAddressInspector();
}

void SetAddressInspector(const TAddressInspector* inspector) {
  replacedInspector.store(inspector);
}
