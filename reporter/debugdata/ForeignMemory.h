// Reads of memory the reporter does not own (other modules' headers, import
// slots, stacks): nothing is read unless all of it is committed and readable.
#pragma once

#include "reporter/config/TraceFormat.h"
#include "reporter/debugdata/ProcessMemory.h"

template <class T>
bool ReadForeign(const void* address, T& out) {
  return CurrentAddressInspector().ReadBytes(address, &out, sizeof(T));
}
