// The walk over the x64 unwind data: function table, unwind codes and epilogue
// replay, with a scan for the caller where the data ends, over any memory reader.
#include "reporter/debugdata/FrameWalk.h"

#include <array>
#include <cstring>

namespace {

// PE32+ layout: the NT headers' offset at 0x3C; in the optional header the
// magic 0x20B, and the exception directory (data directory 3) at 112 + 3 * 8.
constexpr std::uintptr_t kNtHeadersOffsetField = 0x3C;
constexpr std::uintptr_t kOptionalHeader = 24;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uintptr_t kExceptionDirectory = kOptionalHeader + 112 + 3 * 8;

// Unwind codes (the low nibble of a code's second byte).
enum : std::uint8_t {
  kPushNonvol = 0,
  kAllocLarge = 1,
  kAllocSmall = 2,
  kSetFpreg = 3,
  kSaveNonvol = 4,
  kSaveNonvolFar = 5,
  kEpilogOrSaveXmm = 6,
  kSaveXmmFar = 7,
  kSaveXmm128 = 8,
  kSaveXmm128Far = 9,
  kPushMachframe = 10,
};
constexpr std::uint8_t kChainInfo = 0x4;  // UNW_FLAG_CHAININFO
constexpr int kMaxChain = 32;

template <class T>
bool ReadValue(TVexlorMemoryReader& memory, std::uintptr_t address, T& value) {
  return memory.IsValid(address, sizeof(T)) && memory.Read(address, &value, sizeof(T));
}

struct TRuntimeFunction {
  std::uint32_t Begin = 0, End = 0, UnwindData = 0;
};

// The function-table entry covering pc in the module at base.
bool FindFunction(TVexlorMemoryReader& memory, std::uintptr_t base, std::uintptr_t pc,
                  TRuntimeFunction& found) {
  std::uint32_t ntOffset = 0;
  if (!ReadValue(memory, base + kNtHeadersOffsetField, ntOffset)) return false;
  const std::uintptr_t nt = base + ntOffset;
  std::uint32_t signature = 0;
  std::uint16_t magic = 0;
  if (!ReadValue(memory, nt, signature) || signature != 0x00004550) return false;
  if (!ReadValue(memory, nt + kOptionalHeader, magic) || magic != kPe32PlusMagic) return false;
  std::uint32_t directory[2] = {};
  if (!ReadValue(memory, nt + kExceptionDirectory, directory)) return false;
  const std::size_t count = directory[1] / sizeof(TRuntimeFunction);
  if (directory[0] == 0 || count == 0 || pc < base) return false;
  const std::uintptr_t rva = pc - base;
  std::size_t low = 0, high = count;
  while (low < high) {
    const std::size_t middle = (low + high) / 2;
    TRuntimeFunction entry;
    if (!ReadValue(memory, base + directory[0] + middle * sizeof(TRuntimeFunction), entry))
      return false;
    if (rva < entry.Begin) {
      high = middle;
    } else if (rva >= entry.End) {
      low = middle + 1;
    } else {
      found = entry;
      return true;
    }
  }
  return false;
}

bool Pop(TVexlorMemoryReader& memory, TFrameRegisters& frame, std::uint64_t& value) {
  if (!ReadValue(memory, frame.Rsp(), value)) return false;
  frame.Registers[kRegisterRsp] += 8;
  return true;
}

// An epilogue at pc: an optional stack release (add rsp / lea rsp), pops, and
// a return or a jump out. The first frame of a fault may have stopped there
// with part of its frame already gone; the rest is replayed from the code.
bool ReplayEpilogue(TVexlorMemoryReader& memory, TFrameRegisters& frame, std::uint64_t pc,
                    std::uint64_t functionStart, std::uint64_t functionEnd) {
  std::uint8_t code[64];
  if (!memory.IsValid(pc, sizeof code) || !memory.Read(pc, code, sizeof code)) return false;
  TFrameRegisters replay = frame;
  std::size_t i = 0;
  if (code[0] == 0x48 && code[1] == 0x83 && code[2] == 0xC4) {  // add rsp, imm8
    replay.Registers[kRegisterRsp] += static_cast<std::int8_t>(code[3]);
    i = 4;
  } else if (code[0] == 0x48 && code[1] == 0x81 && code[2] == 0xC4) {  // add rsp, imm32
    std::int32_t amount = 0;
    std::memcpy(&amount, code + 3, 4);
    replay.Registers[kRegisterRsp] += static_cast<std::int64_t>(amount);
    i = 7;
  } else if ((code[0] & 0xFE) == 0x48 && code[1] == 0x8D && (code[2] & 0x38) == 0x20) {
    // lea rsp, [reg + disp8 / disp32]
    const int reg = (code[2] & 7) | ((code[0] & 1) << 3);
    const std::uint8_t mod = code[2] >> 6;
    if ((code[2] & 7) == 4 || (mod != 1 && mod != 2) || !replay.IsKnown(reg)) return false;
    std::int32_t disp = 0;
    if (mod == 1) {
      disp = static_cast<std::int8_t>(code[3]);
      i = 4;
    } else {
      std::memcpy(&disp, code + 3, 4);
      i = 7;
    }
    replay.Registers[kRegisterRsp] = replay.Registers[reg] + static_cast<std::int64_t>(disp);
  }
  for (;;) {
    if (i + 2 > sizeof code) return false;
    int reg = -1;
    if ((code[i] & 0xF8) == 0x58) {
      reg = code[i] & 7;
      i += 1;
    } else if (code[i] == 0x41 && (code[i + 1] & 0xF8) == 0x58) {
      reg = 8 + (code[i + 1] & 7);
      i += 2;
    } else {
      break;
    }
    std::uint64_t value = 0;
    if (!Pop(memory, replay, value)) return false;
    replay.Set(reg, value);
  }
  bool leaves = code[i] == 0xC3 || code[i] == 0xC2 || (code[i] == 0xFF && code[i + 1] == 0x25) ||
                (code[i] == 0x48 && code[i + 1] == 0xFF && code[i + 2] == 0x25);
  if (code[i] == 0xE9 && i + 5 <= sizeof code) {
    // A tail jump leaves the function; a jump inside it is ordinary code.
    std::int32_t rel = 0;
    std::memcpy(&rel, code + i + 1, 4);
    const std::uint64_t target = pc + i + 5 + static_cast<std::int64_t>(rel);
    leaves = target < functionStart || target >= functionEnd;
  }
  if (!leaves) return false;
  std::uint64_t returnAddress = 0;
  if (!Pop(memory, replay, returnAddress)) return false;
  replay.Rip = returnAddress;
  frame = replay;
  return true;
}

// Undoes the prologue described by one unwind-data block (and the blocks it
// chains to). prologOffset: how far into the prologue the frame got (~0 once
// past it).
TFrameStep UndoPrologue(TVexlorMemoryReader& memory, std::uintptr_t base, std::uint32_t unwindRva,
                        std::uint32_t prologOffset, TFrameRegisters& frame, bool& machineFrame,
                        int depth) {
  std::uint8_t header[4];
  const std::uintptr_t info = base + unwindRva;
  if (!memory.IsValid(info, 4) || !memory.Read(info, header, 4)) return TFrameStep::Unreadable;
  const std::uint8_t version = header[0] & 7;
  const std::uint8_t flags = header[0] >> 3;
  const std::uint8_t count = header[2];
  const int frameRegister = header[3] & 15;
  const std::uint64_t frameOffset = static_cast<std::uint64_t>(header[3] >> 4) * 16;
  if (version != 1 && version != 2) return TFrameStep::NeedsScan;
  if (header[1] <= prologOffset && prologOffset != ~0u) prologOffset = ~0u;
  std::array<std::uint16_t, 256> codes{};
  const std::size_t slots = (count + 1u) & ~1u;
  if (slots > 0 &&
      (!memory.IsValid(info + 4, slots * 2) || !memory.Read(info + 4, codes.data(), slots * 2)))
    return TFrameStep::Unreadable;
  auto codeOffset = [&](std::size_t i) { return static_cast<std::uint32_t>(codes[i] & 0xFF); };
  auto op = [&](std::size_t i) { return static_cast<std::uint8_t>((codes[i] >> 8) & 15); };
  auto opInfo = [&](std::size_t i) { return static_cast<std::uint8_t>(codes[i] >> 12); };
  auto slotCount = [&](std::size_t i) -> std::size_t {
    switch (op(i)) {
      case kAllocLarge:
        return opInfo(i) == 0 ? 2 : 3;
      case kSaveNonvol:
      case kEpilogOrSaveXmm:
      case kSaveXmm128:
        return 2;
      case kSaveNonvolFar:
      case kSaveXmmFar:
      case kSaveXmm128Far:
        return 3;
      default:
        return 1;
    }
  };
  auto executed = [&](std::size_t i) { return prologOffset >= codeOffset(i); };

  // Saved registers are addressed from the frame's base: the frame register
  // less its offset once it is set, the stack pointer before that.
  std::uint64_t frameBase = frame.Rsp();
  if (frameRegister != 0) {
    for (std::size_t i = 0; i < count; i += slotCount(i)) {
      if (op(i) == kSetFpreg && executed(i)) {
        if (!frame.IsKnown(frameRegister)) return TFrameStep::NeedsScan;
        frameBase = frame.Registers[frameRegister] - frameOffset;
        break;
      }
    }
  }
  for (std::size_t i = 0; i < count; i += slotCount(i)) {
    if (i + slotCount(i) > count) return TFrameStep::NeedsScan;
    if (!executed(i)) continue;
    const std::uint8_t reg = opInfo(i);
    std::uint64_t value = 0;
    switch (op(i)) {
      case kPushNonvol:
        if (!Pop(memory, frame, value)) return TFrameStep::Unreadable;
        frame.Set(reg, value);
        break;
      case kAllocLarge:
        frame.Registers[kRegisterRsp] +=
            reg == 0 ? std::uint64_t{codes[i + 1]} * 8
                     : (std::uint64_t{codes[i + 1]} | (std::uint64_t{codes[i + 2]} << 16));
        break;
      case kAllocSmall:
        frame.Registers[kRegisterRsp] += std::uint64_t{reg} * 8 + 8;
        break;
      case kSetFpreg:
        if (!frame.IsKnown(frameRegister)) return TFrameStep::NeedsScan;
        frame.Registers[kRegisterRsp] = frame.Registers[frameRegister] - frameOffset;
        break;
      case kSaveNonvol:
      case kSaveNonvolFar: {
        const std::uint64_t offset =
            op(i) == kSaveNonvol
                ? std::uint64_t{codes[i + 1]} * 8
                : (std::uint64_t{codes[i + 1]} | (std::uint64_t{codes[i + 2]} << 16));
        if (!ReadValue(memory, frameBase + offset, value)) return TFrameStep::Unreadable;
        frame.Set(reg, value);
        break;
      }
      case kPushMachframe: {
        // An interrupt or exception frame: RIP, CS, EFLAGS, RSP, SS.
        const std::uint64_t at = frame.Rsp() + (reg ? 8 : 0);
        std::uint64_t rip = 0, rsp = 0;
        if (!ReadValue(memory, at, rip) || !ReadValue(memory, at + 24, rsp))
          return TFrameStep::Unreadable;
        frame.Rip = rip;
        frame.Set(kRegisterRsp, rsp);
        machineFrame = true;
        break;
      }
      default:  // the vector registers: nothing a call stack needs
        break;
    }
  }
  if (flags & kChainInfo) {
    if (depth >= kMaxChain) return TFrameStep::NeedsScan;
    TRuntimeFunction chained;
    if (!ReadValue(memory, info + 4 + slots * 2, chained)) return TFrameStep::Unreadable;
    return UndoPrologue(memory, base, chained.UnwindData, ~0u, frame, machineFrame, depth + 1);
  }
  return TFrameStep::Unwound;
}

}  // namespace

TFrameStep UnwindOneFrame(TVexlorMemoryReader& memory, const TVexlorModuleBaseResolver& moduleBase,
                          TFrameRegisters& frame, std::uint64_t pc, bool atFault) {
  if (!frame.IsKnown(kRegisterRsp)) return TFrameStep::NeedsScan;
  const std::uintptr_t base = moduleBase ? moduleBase(pc) : 0;
  TRuntimeFunction function;
  if (base == 0 || !FindFunction(memory, base, pc, function)) return TFrameStep::NoEntry;
  const auto offset = static_cast<std::uint32_t>(pc - base - function.Begin);
  if (atFault && ReplayEpilogue(memory, frame, pc, base + function.Begin, base + function.End))
    return TFrameStep::Unwound;
  TFrameRegisters next = frame;
  bool machineFrame = false;
  const TFrameStep step =
      UndoPrologue(memory, base, function.UnwindData, offset, next, machineFrame, 0);
  if (step != TFrameStep::Unwound) return step;
  if (!machineFrame) {
    std::uint64_t returnAddress = 0;
    if (!Pop(memory, next, returnAddress)) return TFrameStep::Unreadable;
    next.Rip = returnAddress;
  }
  frame = next;
  return TFrameStep::Unwound;
}

namespace {

// A slot above `from` holding an address just behind a call in a module: the
// next frame, where the unwind data cannot say where it is.
bool ScanForCaller(TVexlorMemoryReader& memory, const TVexlorModuleBaseResolver& moduleBase,
                   TFrameRegisters& frame, std::uintptr_t from, std::uintptr_t stackTop) {
  constexpr std::uintptr_t kScanSlots = kStackScanLimit / 8;
  std::uintptr_t end = stackTop;
  if (end == 0 || end - from > kStackScanLimit) end = from + kScanSlots * 8;
  for (std::uintptr_t slot = from; slot + 8 <= end; slot += 8) {
    std::uint64_t value = 0;
    if (!ReadValue(memory, slot, value)) return false;
    if (value < 0x10000 || (moduleBase && moduleBase(value) == 0)) continue;
    if (CallInstructionBefore(memory, value) == 0) continue;
    frame.Rip = value;
    // The registers the frames in between restored are not known.
    frame.Known = 0;
    frame.Set(kRegisterRsp, slot + 8);
    return true;
  }
  return false;
}

}  // namespace

std::vector<std::uintptr_t> WalkFrameAddresses(TVexlorMemoryReader& memory,
                                               const TVexlorModuleBaseResolver& moduleBase,
                                               const TFrameRegisters& start,
                                               const TFrameWalkLimits& limits) {
  std::vector<std::uintptr_t> addresses;
  TFrameRegisters frame = start;
  const std::uintptr_t top = limits.StackTop;
  for (std::size_t depth = 0; depth < limits.MaxFrames && frame.Rip != 0; ++depth) {
    const bool first = depth == 0 && !limits.StartsAtReturnAddress;
    std::uint64_t pc = frame.Rip;
    if (!first) {
      const std::uintptr_t call = CallInstructionBefore(memory, frame.Rip);
      addresses.push_back(call ? call : frame.Rip - 1);
      pc = frame.Rip - 1;
    } else {
      addresses.push_back(frame.Rip);
    }
    const std::uint64_t previousRsp = frame.Rsp();
    TFrameStep step = UnwindOneFrame(memory, moduleBase, frame, pc, first);
    if (step == TFrameStep::NoEntry && depth == 0) {
      // A leaf, or a jump to where no code is: the caller's return address
      // is on top of the stack when the bytes before it are a call.
      std::uint64_t value = 0;
      if (frame.IsKnown(kRegisterRsp) && ReadValue(memory, frame.Rsp(), value) &&
          CallInstructionBefore(memory, value) != 0) {
        frame.Rip = value;
        frame.Registers[kRegisterRsp] += 8;
        step = TFrameStep::Unwound;
      }
    }
    if (step == TFrameStep::NoEntry || step == TFrameStep::NeedsScan) {
      if (!frame.IsKnown(kRegisterRsp) ||
          !ScanForCaller(memory, moduleBase, frame, frame.Rsp(), top))
        break;
      step = TFrameStep::Unwound;
    }
    if (step != TFrameStep::Unwound) break;
    // A damaged stack would loop; the stack's end is the walk's end.
    if (frame.Rsp() <= previousRsp || (top != 0 && frame.Rsp() > top)) break;
  }
  return addresses;
}

std::unique_ptr<TVexlorStackList> WalkStackFrames(TVexlorMemoryReader& memory,
                                                  const TVexlorModuleBaseResolver& moduleBase,
                                                  const TVexlorAddressResolver& resolve,
                                                  const TFrameRegisters& start,
                                                  const TFrameWalkLimits& limits,
                                                  const TVexlorInlineResolver& inlineCallers) {
  auto list = std::make_unique<TVexlorStackList>();
  // A recursion repeats a few addresses thousands of times: each is resolved
  // once.
  struct TResolved {
    std::uintptr_t Address = 0;
    TVexlorDebugInfo Info;
    std::vector<TVexlorDebugInfo> Callers;
  };
  std::array<TResolved, 64> resolved{};
  for (const std::uintptr_t address : WalkFrameAddresses(memory, moduleBase, start, limits)) {
    TResolved& entry = resolved[(address ^ (address >> 6)) % resolved.size()];
    if (entry.Address != address || address == 0) {
      entry.Address = address;
      entry.Info = resolve(address);
      entry.Callers.clear();
      if (inlineCallers) entry.Callers = inlineCallers(address);
    }
    list->Add(entry.Info);
    for (const TVexlorDebugInfo& caller : entry.Callers) list->Add(caller);
  }
  return list;
}

bool TStackCopyReader::Inside(std::uintptr_t address, std::size_t count) const {
  return address >= FOrigin && count <= FSize && address - FOrigin <= FSize - count;
}

bool TStackCopyReader::IsValid(std::uintptr_t address, std::size_t count) {
  return Inside(address, count) || FUnderneath.IsValid(address, count);
}

bool TStackCopyReader::Read(std::uintptr_t address, void* buffer, std::size_t count) {
  if (Inside(address, count)) {
    std::memcpy(buffer, FCopy + (address - FOrigin), count);
    return true;
  }
  return FUnderneath.Read(address, buffer, count);
}
