// The raw stack scan: every stack slot that holds an address just behind a
// call instruction in readable code becomes a call-stack item. It needs no
// frame pointers or unwind tables, so it also covers optimised code, at the
// price of stale values reported as calls.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "reporter/debugdata/MemoryReader.h"
#include "reporter/debugdata/StackList.h"

using TVexlorAddressResolver = std::function<TVexlorDebugInfo(std::uintptr_t address)>;

// Slots are 8 bytes; readability is tested in 400-byte blocks; at most 1 MiB
// above rangeStart is scanned.
constexpr std::uintptr_t kStackBlockSize = 400;
constexpr std::uintptr_t kStackScanLimit = 0x100000;

// Scans [rangeStart, rangeEnd] and resolves every call found; the exception
// address (when not 0) is the first item.
std::unique_ptr<TVexlorStackList> WalkStack(TVexlorMemoryReader& memory,
                                            const TVexlorAddressResolver& resolve,
                                            std::uintptr_t exceptionAddress,
                                            std::uintptr_t rangeStart, std::uintptr_t rangeEnd);

// Keeps, for design-time runs, only named items outside the reporter's own
// module that are not exception handlers, without repeats per module.
void FilterStackDesignTime(TVexlorStackList& list, const TVexlorModuleInfo* reporterModule);
