#include "reporter/capture/FrameWalk.h"

#include <array>
#include <atomic>

#include "reporter/capture/ForeignMemory.h"
#include "reporter/capture/GccLsda.h"

extern "C" EXCEPTION_DISPOSITION __gxx_personality_seh0(PEXCEPTION_RECORD, void*, PCONTEXT,
                                                        PDISPATCHER_CONTEXT);

namespace {

constexpr int kMaxFrames = 512;
std::array<std::atomic<std::uintptr_t>, 2> threadWrappers{};
std::atomic<std::uintptr_t> safeCallBoundary{0};

std::uintptr_t FunctionStartOf(const void* address) {
  DWORD64 imageBase = 0;
  const PRUNTIME_FUNCTION function =
      RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(address), &imageBase, nullptr);
  return function ? imageBase + function->BeginAddress : 0;
}

std::uintptr_t OwnModule() {
  static const auto module = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  return module;
}

bool InOwnModule(DWORD64 imageBase) {
  return imageBase == OwnModule();
}

// This module's function table, searched without the loader's help: most
// frames of a raise are the program's own, and the system's lookup is slow.
struct TOwnFunctionTable {
  const RUNTIME_FUNCTION* First = nullptr;
  std::size_t Count = 0;
  std::uintptr_t Base = 0;
};

TOwnFunctionTable ReadOwnFunctionTable() {
  TOwnFunctionTable table;
  table.Base = OwnModule();
  const auto* base = reinterpret_cast<const std::uint8_t*>(table.Base);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXCEPTION];
  table.First = reinterpret_cast<const RUNTIME_FUNCTION*>(base + directory.VirtualAddress);
  table.Count = directory.Size / sizeof(RUNTIME_FUNCTION);
  return table;
}

}  // namespace

PRUNTIME_FUNCTION LookupFunctionEntry(DWORD64 pc, DWORD64& imageBase) {
  static const TOwnFunctionTable own = ReadOwnFunctionTable();
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

namespace {

// The raising thread walks its own stack: a range test replaces a query of
// the memory system for every frame.
bool OnOwnStack(DWORD64 address) {
  std::uintptr_t low = 0, high = 0;
  asm volatile("movq %%gs:0x10, %0" : "=r"(low));
  asm volatile("movq %%gs:0x08, %0" : "=r"(high));
  return address >= low && address + 8 <= high;
}

bool ReadStackSlot(DWORD64 address, std::uint64_t& value) {
  if (OnOwnStack(address)) {
    value = *reinterpret_cast<const std::uint64_t*>(address);
    return true;
  }
  return ReadForeign(reinterpret_cast<const void*>(address), value);
}

bool IsThreadWrapper(std::uintptr_t functionStart) {
  for (const auto& wrapper : threadWrappers) {
    if (functionStart != 0 && wrapper.load() == functionStart) return true;
  }
  return false;
}

}  // namespace

void SetThreadWrapperFunction(int slot, const void* anyAddressInside) {
  threadWrappers.at(slot) = anyAddressInside ? FunctionStartOf(anyAddressInside) : 0;
}

void SetSafeCallBoundaryFunction(const void* anyAddressInside) {
  safeCallBoundary = anyAddressInside ? FunctionStartOf(anyAddressInside) : 0;
}

TFrameAnalysis AnalyseFrames(const CONTEXT& start, bool isFault, bool osException,
                             const TVexlorExceptionObject& thrown, int enoughCatchers) {
  TFrameAnalysis result;
  CONTEXT context = start;
  bool ownFrameSeen = false;
  const auto gccPersonality = reinterpret_cast<std::uintptr_t>(&__gxx_personality_seh0);

  for (int depth = 0; depth < kMaxFrames && context.Rip != 0; ++depth) {
    const DWORD64 pc = context.Rip;
    // A return address belongs to the call before it.
    const DWORD64 ip = (depth == 0 && isFault) ? pc : pc - 1;
    const DWORD64 previousRsp = context.Rsp;
    DWORD64 imageBase = 0;
    const PRUNTIME_FUNCTION function = LookupFunctionEntry(ip, imageBase);
    if (!function) {
      // A leaf function: the return address is on top of the stack.
      std::uint64_t returnAddress = 0;
      if (!ReadStackSlot(context.Rsp, returnAddress)) break;
      context.Rip = returnAddress;
      context.Rsp += 8;
      continue;
    }
    // The unwinder reads the frame's saved registers from the stack.
    std::uint64_t probe = 0;
    if (!ReadStackSlot(context.Rsp, probe)) break;
    void* handlerData = nullptr;
    DWORD64 establisher = 0;
    const auto handler = reinterpret_cast<std::uintptr_t>(RtlVirtualUnwind(
        UNW_FLAG_EHANDLER, imageBase, pc, function, &context, &handlerData, &establisher, nullptr));
    const std::uintptr_t functionStart = imageBase + function->BeginAddress;

    if (handler != 0 && handler != gccPersonality && osException && !ownFrameSeen) {
      result.GuardedByForeignCode = true;
      break;
    }
    if (InOwnModule(imageBase)) ownFrameSeen = true;

    if (handler == gccPersonality && !osException) {
      const TFrameCatch verdict = ClassifyGccFrame(static_cast<const std::uint8_t*>(handlerData),
                                                   functionStart, ip, thrown);
      if (verdict == TFrameCatch::Terminate) {
        result.Terminates = true;
        break;
      }
      if (verdict == TFrameCatch::CatchAll || verdict == TFrameCatch::Typed) {
        TCatcherKind kind =
            verdict == TFrameCatch::CatchAll ? TCatcherKind::CatchAll : TCatcherKind::Typed;
        if (functionStart == safeCallBoundary.load()) kind = TCatcherKind::SafeCall;
        const bool wrapper = IsThreadWrapper(functionStart);
        if (result.Count == 0) {
          result.FirstKind = kind;
          result.FirstIsThreadWrapper = wrapper;
        }
        if (wrapper) result.WrapperCounted = true;
        ++result.Count;
        if (enoughCatchers > 0 && result.Count >= enoughCatchers) break;
      }
    }
    if (context.Rsp <= previousRsp) break;  // a damaged stack would loop
  }
  return result;
}
