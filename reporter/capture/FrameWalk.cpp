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
                             const TVexlorExceptionObject& thrown) {
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
    const PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(ip, &imageBase, nullptr);
    if (!function) {
      // A leaf function: the return address is on top of the stack.
      std::uint64_t returnAddress = 0;
      if (!ReadForeign(reinterpret_cast<const void*>(context.Rsp), returnAddress)) break;
      context.Rip = returnAddress;
      context.Rsp += 8;
      continue;
    }
    // The unwinder reads the frame's saved registers from the stack.
    std::uint64_t probe = 0;
    if (!ReadForeign(reinterpret_cast<const void*>(context.Rsp), probe)) break;
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
      }
    }
    if (context.Rsp <= previousRsp) break;  // a damaged stack would loop
  }
  return result;
}
