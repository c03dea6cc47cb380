// The request's extension control block in a system TLS slot.
#include "reporter/interception/ExtensionControlBlockWin.h"

#include <cstdint>

#include "reporter/config/ThreadSlot.h"

namespace {
// A system slot, not thread_local: read in a raising thread that may hold
// the threads library's locks.
constinit const TVexlorThreadWord currentControlBlock;
}  // namespace

void* CurrentExtensionControlBlock() {
  return reinterpret_cast<void*>(currentControlBlock.Get());
}

void SetCurrentExtensionControlBlock(void* block) {
  currentControlBlock.Set(reinterpret_cast<std::uintptr_t>(block));
}
