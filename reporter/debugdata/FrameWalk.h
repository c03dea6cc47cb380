// The call stack of an x86_64 thread from the unwind data its code carries:
// starting from a register context, each frame is left the way its
// function's unwind codes say, so every row is a frame the data proves, in
// order, with nothing stale between them. The raw scan (StackWalk.h) is
// used only where the unwinder cannot go on: code without unwind data, or a
// frame that needs a register nobody knows (a copy of a stack without its
// registers).
//
// Everything is read through a TVexlorMemoryReader, so the walk runs as well
// over a copy of a stack placed at its original addresses (a creator's stack,
// a frozen main thread's) as over a live one, and natively over synthetic
// images in the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "reporter/debugdata/MemoryReader.h"
#include "reporter/debugdata/StackList.h"
#include "reporter/debugdata/StackWalk.h"

// The integer registers of a frame in x64 register-number order (RAX, RCX,
// RDX, RBX, RSP, RBP, RSI, RDI, R8 ... R15) and the instruction pointer;
// Known says which values are real.
struct TFrameRegisters {
  std::uint64_t Rip = 0;
  std::uint64_t Registers[16] = {};
  std::uint16_t Known = 0;  // bit n: Registers[n] is real

  std::uint64_t Rsp() const { return Registers[4]; }
  bool IsKnown(int n) const { return (Known >> n) & 1; }
  void Set(int n, std::uint64_t value) {
    Registers[n] = value;
    Known = static_cast<std::uint16_t>(Known | (1u << n));
  }
};
constexpr int kRegisterRsp = 4;
constexpr std::uint16_t kAllRegistersKnown = 0xFFFF;

// The load address of the module holding an address (0: none).
using TVexlorModuleBaseResolver = std::function<std::uintptr_t(std::uintptr_t address)>;

enum class TFrameStep {
  Unwound,     // the registers are now the caller's
  NoEntry,     // no unwind data covers the address (a leaf or foreign code)
  NeedsScan,   // the data needs a register that is not known
  Unreadable,  // the frame's stack or data cannot be read
};

// Leaves one frame. pc identifies the frame's code: the faulting instruction
// for the first frame of a fault, otherwise the return address minus one (the
// call belongs to the frame, the address after it may not). atFault: the
// first frame, which may have stopped inside a prologue or an epilogue.
TFrameStep UnwindOneFrame(TVexlorMemoryReader& memory, const TVexlorModuleBaseResolver& moduleBase,
                          TFrameRegisters& frame, std::uint64_t pc, bool atFault);

// The start of the call instruction that ends at returnAddress (a direct,
// indirect or register call), or 0 when the bytes before it are no call.
std::uintptr_t CallInstructionBefore(TVexlorMemoryReader& memory, std::uintptr_t returnAddress);

struct TFrameWalkLimits {
  std::uintptr_t StackTop = 0;    // frames end below it
  std::size_t MaxFrames = 65536;  // a walk never loops for ever on a damaged stack
  // The start's Rip is a return address (a stack copied at a call), not the
  // instruction a fault or a raise stopped at.
  bool StartsAtReturnAddress = false;
};

// The frames' code addresses, innermost first: the first frame's instruction
// (the fault, or the raising call), then each caller's call instruction.
std::vector<std::uintptr_t> WalkFrameAddresses(TVexlorMemoryReader& memory,
                                               const TVexlorModuleBaseResolver& moduleBase,
                                               const TFrameRegisters& start,
                                               const TFrameWalkLimits& limits);

// The rows of the calls an address's inlined code stands for, innermost first.
using TVexlorInlineResolver = std::function<std::vector<TVexlorDebugInfo>(std::uintptr_t address)>;

// The call stack from a context: every frame's address resolved, one row per
// frame, followed by a row for each call its code was inlined through (the
// function it was inlined into, at the line of the call); consecutive frames
// of one address resolved once.
std::unique_ptr<TVexlorStackList> WalkStackFrames(TVexlorMemoryReader& memory,
                                                  const TVexlorModuleBaseResolver& moduleBase,
                                                  const TVexlorAddressResolver& resolve,
                                                  const TFrameRegisters& start,
                                                  const TFrameWalkLimits& limits,
                                                  const TVexlorInlineResolver& inlineCallers = {});

// A copy of a stack seen at the addresses it was copied from; every other
// address is read from the memory underneath (the code, the modules).
class TStackCopyReader : public TVexlorMemoryReader {
 public:
  TStackCopyReader(TVexlorMemoryReader& underneath, std::uintptr_t origin, const std::uint8_t* copy,
                   std::size_t size)
      : FUnderneath(underneath), FOrigin(origin), FCopy(copy), FSize(size) {}
  bool IsValid(std::uintptr_t address, std::size_t count) override;
  bool Read(std::uintptr_t address, void* buffer, std::size_t count) override;

 private:
  bool Inside(std::uintptr_t address, std::size_t count) const;

  TVexlorMemoryReader& FUnderneath;
  std::uintptr_t FOrigin;
  const std::uint8_t* FCopy;
  std::size_t FSize;
};
