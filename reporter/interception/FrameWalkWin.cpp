// The frame analysis: GCC frames judged from their tables (the verdict kept per
// frame for the thrown type); a foreign handler guards an OS exception.
#include "reporter/interception/FrameWalkWin.h"

#include <array>
#include <atomic>

#include "reporter/config/ModuleMapping.h"
#include "reporter/debugdata/ForeignMemory.h"
#include "reporter/interception/FrameUnwindWin.h"
#include "reporter/interception/GccLsda.h"

extern "C" EXCEPTION_DISPOSITION __gxx_personality_seh0(PEXCEPTION_RECORD, void*, PCONTEXT,
                                                        PDISPATCHER_CONTEXT);

namespace {

constexpr int kMaxFrames = 512;
std::array<std::atomic<std::uintptr_t>, 2> threadWrappers{};
std::array<std::atomic<std::uintptr_t>, 2> threadEndRunners{};
std::atomic<std::uintptr_t> safeCallBoundary{0};

std::uintptr_t FunctionStartOf(const void* address) {
  DWORD64 imageBase = 0;
  const PRUNTIME_FUNCTION function =
      RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(address), &imageBase, nullptr);
  return function ? imageBase + function->BeginAddress : 0;
}

std::uintptr_t OwnModule() {
  static const auto module = ThisModuleHandle();
  return module;
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

void SetThreadEndRunnerFunction(int slot, const void* anyAddressInside) {
  threadEndRunners.at(slot) = anyAddressInside ? FunctionStartOf(anyAddressInside) : 0;
}

bool IsReporterFrame(std::uintptr_t address) {
  const std::uintptr_t start = FunctionStartOf(reinterpret_cast<const void*>(address));
  if (start == 0) return false;
  if (threadWrappers[0].load() == start) return true;
  for (const auto& runner : threadEndRunners) {
    if (runner.load() == start) return true;
  }
  return false;
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

  // A typed catch's answer depends on the thrown type alone, unless a
  // pointer is thrown (its value takes part in the match).
  const bool memoizable = thrown.Type && !thrown.Type->__is_pointer_p();
  TFrameCache& cache = ThisThreadFrameCache();

  for (int depth = 0; depth < kMaxFrames && context.Rip != 0; ++depth) {
    const DWORD64 pc = context.Rip;
    // A return address belongs to the call before it.
    const DWORD64 ip = (depth == 0 && isFault) ? pc : pc - 1;
    const DWORD64 previousRsp = context.Rsp;
    TUnwoundFrame frame;
    const TUnwindStep step = UnwindFrame(context, ip, frame, cache);
    if (step == TUnwindStep::Unreadable) break;
    if (step == TUnwindStep::NoEntry) {
      if (!UnwindLeafFrame(context)) break;
      continue;
    }
    const std::uintptr_t handler = frame.Handler;
    if (handler != 0 && handler != gccPersonality && osException && !ownFrameSeen) {
      result.GuardedByForeignCode = true;
      break;
    }
    if (frame.ImageBase == OwnModule()) ownFrameSeen = true;

    if (handler == gccPersonality && !osException) {
      TFrameCatch verdict;
      if (memoizable && frame.MemoKey && *frame.MemoKey == thrown.Type) {
        verdict = static_cast<TFrameCatch>(*frame.Memo);
      } else {
        verdict = ClassifyGccFrame(static_cast<const std::uint8_t*>(frame.HandlerData),
                                   frame.FunctionStart, ip, thrown);
        if (memoizable && frame.MemoKey) {
          *frame.MemoKey = thrown.Type;
          *frame.Memo = static_cast<int>(verdict);
        }
      }
      if (verdict == TFrameCatch::Terminate) {
        result.Terminates = true;
        break;
      }
      if (verdict == TFrameCatch::CatchAll || verdict == TFrameCatch::Typed) {
        TCatcherKind kind =
            verdict == TFrameCatch::CatchAll ? TCatcherKind::CatchAll : TCatcherKind::Typed;
        if (frame.FunctionStart == safeCallBoundary.load()) kind = TCatcherKind::SafeCall;
        const bool wrapper = IsThreadWrapper(frame.FunctionStart);
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
