// Moving a thread's registers from one frame to its caller, as the x64
// unwind data says. Frames of this executable are unwound from a per-thread
// cache of their reduced unwind data; every other frame, and every form the
// reduced data cannot express, goes to the system's unwinder.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

#include "reporter/interception/UnwindRecipe.h"

struct TUnwoundFrame {
  DWORD64 ImageBase = 0;
  std::uintptr_t FunctionStart = 0;
  std::uintptr_t Handler = 0;  // the exception handler (language routine), if any
  void* HandlerData = nullptr;
  // A slot the caller may use to remember a result about this address (its
  // key is the caller's choice); kept as long as the frame's cache entry.
  const void** MemoKey = nullptr;
  int* Memo = nullptr;
};

enum class TUnwindStep {
  Unwound,    // context now holds the caller's registers
  NoEntry,    // no unwind data for ip: a leaf function or foreign code
  Unreadable  // the frame's stack cannot be read: the walk ends here
};

// What one return address of this executable needs for the next step. The
// executable is never unloaded, so an entry stays true for the process.
struct TCachedFrame {
  DWORD64 Ip = 0;
  PRUNTIME_FUNCTION Function = nullptr;
  bool Reduced = false;  // Recipe applies; otherwise the system unwinds
  TUnwindRecipe Recipe;
  std::uintptr_t FunctionStart = 0;
  std::uintptr_t Handler = 0;
  void* HandlerData = nullptr;
  const void* MemoKey = nullptr;
  int Memo = 0;
};

// Per thread: no lock on the raise path, and only the owning thread writes.
struct TFrameCache {
  std::uintptr_t ImageBase = 0, ImageEnd = 0;  // of the executable, once known
  std::array<TCachedFrame, 128> Frames{};
};
TFrameCache& ThisThreadFrameCache();

// This module's function table is searched directly: most frames of a raise
// are the program's own, and the system's lookup is slow.
PRUNTIME_FUNCTION LookupFunctionEntry(DWORD64 pc, DWORD64& imageBase);

// Reads one 8-byte stack slot; the calling thread's own stack without a
// probe of the memory system.
bool ReadStackSlot(DWORD64 address, std::uint64_t& value);

// Leaves a function without unwind data (a leaf): its return address is on
// top of the stack. False when that slot cannot be read.
bool UnwindLeafFrame(CONTEXT& context);

// Unwinds the frame that context.Rip is in. ip identifies the frame's code:
// context.Rip at a fault, context.Rip - 1 at a return address (the call
// belongs to the frame, the address after it may not).
// A walk of several frames passes the calling thread's cache once.
TUnwindStep UnwindFrame(CONTEXT& context, DWORD64 ip, TUnwoundFrame& frame, TFrameCache& cache);
TUnwindStep UnwindFrame(CONTEXT& context, DWORD64 ip, TUnwoundFrame& frame);
