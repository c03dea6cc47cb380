// Unwinding one frame on Windows: this executable's function table read once,
// its frames through the per-thread cache, all others through the system.
#include "reporter/interception/FrameUnwindWin.h"

#include <array>

#include "reporter/config/ModuleMapping.h"
#include "reporter/config/ThreadSlot.h"
#include "reporter/debugdata/ForeignMemory.h"
#include "reporter/interception/UnwindRecipe.h"

namespace {

struct TOwnFunctionTable {
  const RUNTIME_FUNCTION* First = nullptr;
  std::size_t Count = 0;
  std::uintptr_t Base = 0;
  std::uintptr_t End = 0;  // of the image
};

TOwnFunctionTable ReadOwnFunctionTable() {
  TOwnFunctionTable table;
  table.Base = ThisModuleHandle();
  const auto* base = reinterpret_cast<const std::uint8_t*>(table.Base);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXCEPTION];
  table.First = reinterpret_cast<const RUNTIME_FUNCTION*>(base + directory.VirtualAddress);
  table.Count = directory.Size / sizeof(RUNTIME_FUNCTION);
  table.End = table.Base + nt->OptionalHeader.SizeOfImage;
  return table;
}

const TOwnFunctionTable& OwnFunctionTable() {
  static const TOwnFunctionTable table = ReadOwnFunctionTable();
  return table;
}

// Largest unwind data: header, 255 code slots, padding and the handler.
constexpr std::size_t kMaxUnwindInfo = 4 + 2 * 256 + 4;

void FillCachedFrame(TCachedFrame& entry, DWORD64 ip, PRUNTIME_FUNCTION function,
                     DWORD64 imageBase) {
  entry = {};
  entry.Ip = ip;
  entry.Function = function;
  const auto* info = reinterpret_cast<const std::uint8_t*>(imageBase + function->UnwindData);
  const auto offset = static_cast<std::uint32_t>(ip - imageBase - function->BeginAddress);
  // ip is the address before the resumption point; the point itself must
  // not start an epilogue for the function's whole frame to be in place.
  entry.Reduced = ReadUnwindRecipe(info, kMaxUnwindInfo, offset, entry.Recipe) &&
                  !MayStartEpilogue(reinterpret_cast<const std::uint8_t*>(ip + 1));
  entry.FunctionStart = imageBase + function->BeginAddress;
  if (entry.Reduced && entry.Recipe.HasExceptionHandler) {
    entry.Handler = imageBase + entry.Recipe.HandlerRva;
    entry.HandlerData = const_cast<std::uint8_t*>(info) + entry.Recipe.HandlerDataOffset;
  }
}

struct TStackBounds {
  std::uintptr_t Low = 0, High = 0;
};

// The calling thread's stack (NT_TIB.StackLimit and StackBase).
TStackBounds ThisThreadStack() {
  TStackBounds bounds;
  asm volatile("movq %%gs:0x10, %0" : "=r"(bounds.Low));
  asm volatile("movq %%gs:0x08, %0" : "=r"(bounds.High));
  return bounds;
}

[[gnu::noinline]] bool ReadOtherSlot(DWORD64 address, std::uint64_t& value) {
  return ReadForeign(reinterpret_cast<const void*>(address), value);
}

// Inlined: a walk reads several slots per frame, nearly all on its own stack.
[[gnu::always_inline]] inline bool ReadSlot(const TStackBounds& stack, DWORD64 address,
                                            std::uint64_t& value) {
  if (address >= stack.Low && address + 8 <= stack.High) {
    value = *reinterpret_cast<const std::uint64_t*>(address);
    return true;
  }
  return ReadOtherSlot(address, value);
}

[[gnu::always_inline]] inline bool ApplyRecipe(CONTEXT& context, const TUnwindRecipe& recipe) {
  const TStackBounds stack = ThisThreadStack();
  const DWORD64 body = context.Rsp;
  std::uint64_t values[kMaxRegisterSaves];
  for (std::uint8_t i = 0; i < recipe.SaveCount; ++i) {
    if (!ReadSlot(stack, body + recipe.Saves[i].Offset, values[i])) return false;
  }
  std::uint64_t returnAddress = 0;
  if (!ReadSlot(stack, body + recipe.ReturnSlot, returnAddress)) return false;
  // RAX ... R15 lie in the context in register-number order.
  DWORD64* registers = &context.Rax;
  for (std::uint8_t i = 0; i < recipe.SaveCount; ++i) {
    if (recipe.Saves[i].Register != 4) registers[recipe.Saves[i].Register] = values[i];
  }
  context.Rip = returnAddress;
  context.Rsp = body + recipe.ReturnSlot + 8;
  return true;
}

// The frame's registers as the system's unwinder restores them.
TUnwindStep SystemUnwind(CONTEXT& context, PRUNTIME_FUNCTION function, TUnwoundFrame& frame) {
  // It reads the frame's saved registers from the stack.
  std::uint64_t probe = 0;
  if (!ReadStackSlot(context.Rsp, probe)) return TUnwindStep::Unreadable;
  DWORD64 establisher = 0;
  frame.Handler = reinterpret_cast<std::uintptr_t>(
      RtlVirtualUnwind(UNW_FLAG_EHANDLER, frame.ImageBase, context.Rip, function, &context,
                       &frame.HandlerData, &establisher, nullptr));
  return TUnwindStep::Unwound;
}

}  // namespace

PRUNTIME_FUNCTION LookupFunctionEntry(DWORD64 pc, DWORD64& imageBase) {
  const TOwnFunctionTable& own = OwnFunctionTable();
  if (pc > own.Base && own.Count > 0) {
    const DWORD64 rva = pc - own.Base;
    std::size_t low = 0, high = own.Count;
    while (low < high) {
      const std::size_t middle = (low + high) / 2;
      const RUNTIME_FUNCTION& entry = own.First[middle];
      if (rva < entry.BeginAddress) {
        high = middle;
      } else if (rva >= entry.EndAddress) {
        low = middle + 1;
      } else {
        imageBase = own.Base;
        return const_cast<PRUNTIME_FUNCTION>(&entry);
      }
    }
  }
  return RtlLookupFunctionEntry(pc, &imageBase, nullptr);
}

bool ReadStackSlot(DWORD64 address, std::uint64_t& value) {
  return ReadSlot(ThisThreadStack(), address, value);
}

bool UnwindLeafFrame(CONTEXT& context) {
  std::uint64_t returnAddress = 0;
  if (!ReadStackSlot(context.Rsp, returnAddress)) return false;
  context.Rip = returnAddress;
  context.Rsp += 8;
  return true;
}

TFrameCache& ThisThreadFrameCache() {
  static const TVexlorThreadSlot<TFrameCache> cache;
  return cache.Get();
}

TUnwindStep UnwindFrame(CONTEXT& context, DWORD64 ip, TUnwoundFrame& frame, TFrameCache& cache) {
  frame = {};
  if (cache.ImageEnd == 0) {
    cache.ImageBase = OwnFunctionTable().Base;
    cache.ImageEnd = OwnFunctionTable().End;
  }
  // A return address of this executable: the cache knows the frame, without
  // a search of the function table.
  if (ip >= cache.ImageBase && ip < cache.ImageEnd && ip != context.Rip) {
    TCachedFrame& entry = cache.Frames[(ip ^ (ip >> 7)) % cache.Frames.size()];
    if (entry.Ip != ip || !entry.Function) {
      DWORD64 imageBase = 0;
      const PRUNTIME_FUNCTION function = LookupFunctionEntry(ip, imageBase);
      if (!function) return TUnwindStep::NoEntry;
      FillCachedFrame(entry, ip, function, imageBase);
    }
    frame.ImageBase = cache.ImageBase;
    frame.FunctionStart = entry.FunctionStart;
    frame.MemoKey = &entry.MemoKey;
    frame.Memo = &entry.Memo;
    if (!entry.Reduced) return SystemUnwind(context, entry.Function, frame);
    frame.Handler = entry.Handler;
    frame.HandlerData = entry.HandlerData;
    return ApplyRecipe(context, entry.Recipe) ? TUnwindStep::Unwound : TUnwindStep::Unreadable;
  }
  const PRUNTIME_FUNCTION function = LookupFunctionEntry(ip, frame.ImageBase);
  if (!function) return TUnwindStep::NoEntry;
  frame.FunctionStart = frame.ImageBase + function->BeginAddress;
  return SystemUnwind(context, function, frame);
}

TUnwindStep UnwindFrame(CONTEXT& context, DWORD64 ip, TUnwoundFrame& frame) {
  return UnwindFrame(context, ip, frame, ThisThreadFrameCache());
}
