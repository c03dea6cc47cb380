// The raise hooks and the handlers of last resort: each recovers the registers
// of the application's own raise, so no frame of the reporter is ever walked.
#include "reporter/capture/RaiseHooks.h"

#include <cxxabi.h>
#include <unwind.h>

#include <array>
#include <atomic>
#include <exception>
#include <typeinfo>

#include "reporter/capture/GoNotify.h"
#include "reporter/capture/RaiseEntry.h"
#include "reporter/capture/ReserveStack.h"
#include "reporter/capture/ThreadEnd.h"
#include "reporter/config/Trace.h"
#include "reporter/debugdata/ForeignMemory.h"
#include "reporter/debugdata/ModuleFiles.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/interception/ExceptionHandled.h"
#include "reporter/interception/FrameUnwindWin.h"
#include "reporter/interception/FrameWalkWin.h"
#include "reporter/interception/OsExceptionObjects.h"
#include "reporter/pipeline/ExceptNotifyWin.h"

TRaiseExceptionProc RealRaiseException = nullptr;

namespace {

// The C++ runtime's exception header ends right where its unwind header
// starts; the thrown object follows the unwind header.
constexpr std::uintptr_t kCxaHeaderBeforeUnwind = 80;
constexpr std::uint64_t kGnuCppClass = 0x474E5543432B2B00ull;  // "GNUCC++\0"
constexpr std::uint64_t kGnuCppDependentClass = kGnuCppClass | 1;

// Moves the context up the given number of frames, each left through a call.
void UnwindFrames(CONTEXT& context, int frames) {
  for (int i = 0; i < frames; ++i) {
    TUnwoundFrame frame;
    const TUnwindStep step = UnwindFrame(context, context.Rip - 1, frame);
    if (step == TUnwindStep::Unreadable) return;
    if (step == TUnwindStep::NoEntry && !UnwindLeafFrame(context)) return;
  }
}

// Registers of the caller of the function that calls this, as they are
// right after its call returns.
__attribute__((noinline)) void CaptureCallerContext(CONTEXT& context) {
  RtlCaptureContext(&context);
  UnwindFrames(context, 2);
}

std::uintptr_t FunctionStart(const void* address) {
  DWORD64 imageBase = 0;
  const PRUNTIME_FUNCTION function =
      RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(address), &imageBase, nullptr);
  return function ? imageBase + function->BeginAddress : 0;
}

// The C++ runtime's own functions between a rethrow in the application and
// RaiseException: the raise is reported at the application's call.
bool IsRuntimeRaiseFunction(std::uintptr_t start) {
  static const std::array<std::uintptr_t, 4> starts = {
      FunctionStart(reinterpret_cast<const void*>(&__cxxabiv1::__cxa_rethrow)),
      FunctionStart(reinterpret_cast<const void*>(&std::rethrow_exception)),
      FunctionStart(reinterpret_cast<const void*>(&_Unwind_RaiseException)),
      FunctionStart(reinterpret_cast<const void*>(&_Unwind_Resume_or_Rethrow)),
  };
  for (const std::uintptr_t s : starts) {
    if (s != 0 && s == start) return true;
  }
  return false;
}

// The registers of the application's call into the throw routine, as they
// are right after the call returns. No floating-point state: nothing in a
// report reads it, and saving it would cost every throw.
void ContextOfRaiseEntry(const TRaiseEntryRegisters& registers, CONTEXT& context) {
  context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER | CONTEXT_SEGMENTS;
  DWORD64* general = &context.Rax;  // RAX ... R15 in register-number order
  for (int i = 0; i < 16; ++i) general[i] = registers.Registers[i];
  context.EFlags = static_cast<DWORD>(registers.EFlags);
  const DWORD64 entryRsp = registers.Registers[4];
  context.Rip = *reinterpret_cast<const DWORD64*>(entryRsp);
  context.Rsp = entryRsp + 8;
  asm("movw %%cs, %0" : "=m"(context.SegCs));
  asm("movw %%ds, %0" : "=m"(context.SegDs));
  asm("movw %%es, %0" : "=m"(context.SegEs));
  asm("movw %%fs, %0" : "=m"(context.SegFs));
  asm("movw %%gs, %0" : "=m"(context.SegGs));
  asm("movw %%ss, %0" : "=m"(context.SegSs));
}

// Records the raise of a C++ object at the call that returns to returnAddress.
void RecordCallRaise(TThreadCaptureState& state, const CONTEXT& context, void* object) {
  const auto returnAddress = static_cast<std::uintptr_t>(context.Rip);
  state.RaiseStackPointer = context.Rsp;
  state.StackStart = context.Rsp;
  if (&context != &state.RaiseContext) SetRaiseContext(state, context);
  state.RaiseContext.Rip = returnAddress - 5;
  state.LastThrownObject = object;
  state.LastThrowAddress = returnAddress;
}

// Marks the calling thread as inside a hook for the lifetime of the guard, so
// that raises of the reporter's own code are not intercepted again.
class THookGuard {
 public:
  explicit THookGuard(TThreadCaptureState& state) : state_(state) { state_.InHook = true; }
  ~THookGuard() { state_.InHook = false; }
  THookGuard(const THookGuard&) = delete;
  THookGuard& operator=(const THookGuard&) = delete;

 private:
  TThreadCaptureState& state_;
};

// The link step routes every throw through HookedRaise for good; it takes
// part only while the interception is installed (never in design-time mode).
std::atomic<bool> raiseHooksInstalled{false};

bool MayIntercept(const TThreadCaptureState& state) {
  return ReporterFlags().Active && raiseHooksInstalled.load(std::memory_order_relaxed) &&
         !state.InHook && !state.InNotify;
}

}  // namespace

TVexlorExceptionObject ObjectOfUnwindHeader(std::uintptr_t header) {
  _Unwind_Exception unwind;
  if (!ReadForeign(reinterpret_cast<const void*>(header), unwind)) return {};
  const std::uintptr_t headerStart = header - kCxaHeaderBeforeUnwind;
  std::uintptr_t objectAddress = header + sizeof(_Unwind_Exception);
  if (unwind.exception_class == kGnuCppDependentClass) {
    // A rethrown exception_ptr: its first field is the primary object.
    if (!ReadForeign(reinterpret_cast<const void*>(headerStart), objectAddress)) return {};
  } else if (unwind.exception_class != kGnuCppClass) {
    return {};
  }
  const std::uintptr_t primaryHeader =
      objectAddress - sizeof(_Unwind_Exception) - kCxaHeaderBeforeUnwind;
  const std::type_info* type = nullptr;
  if (!ReadForeign(reinterpret_cast<const void*>(primaryHeader), type)) return {};
  return {reinterpret_cast<void*>(objectAddress), type};
}

// Every C++ throw of the program passes here first (the link step wraps the
// runtime's throw routine), with the stack of the raise still intact.
extern "C" void HookedRaise(void* object, std::type_info* type,
                            const TRaiseEntryRegisters* registers) {
  TThreadCaptureState& state = ThreadCaptureState();
  if (MayIntercept(state)) {
    THookGuard guard(state);
    TraceEnter("HookedRaise", {object});
    // Built in place: the context is large and the raise path is hot.
    ContextOfRaiseEntry(*registers, state.RaiseContext);
    RecordCallRaise(state, state.RaiseContext, object);
    GoNotify({object, type}, state.LastThrowAddress, true, false);
    TraceExit("HookedRaise");
  }
  state.ThrowInProgress = object;
}

void WINAPI HookedRaiseException(DWORD code, DWORD flags, DWORD argumentCount,
                                 const ULONG_PTR* arguments) {
  TThreadCaptureState& state = ThreadCaptureState();
  if (code == kGccThrowCode && argumentCount >= 1 && arguments && state.ThrowInProgress &&
      arguments[0] + sizeof(_Unwind_Exception) ==
          reinterpret_cast<std::uintptr_t>(state.ThrowInProgress)) {
    // The raise HookedRaise has just recorded.
    state.ThrowInProgress = nullptr;
  } else if (code == kGccThrowCode && argumentCount >= 1 && arguments && MayIntercept(state)) {
    const TVexlorExceptionObject object = ObjectOfUnwindHeader(arguments[0]);
    if (object.Object && object.Object == state.ThrowInProgress) {
      state.ThrowInProgress = nullptr;  // HookedRaise has recorded this raise
    } else if (object.Object && object.Object != LastNotifiedObject()) {
      // A rethrow or a rethrown exception_ptr: recorded at the application's
      // call into the runtime.
      THookGuard guard(state);
      TraceEnter("HookedRaiseException", {code, flags, argumentCount});
      CONTEXT context;
      CaptureCallerContext(context);
      for (int i = 0; i < 4 && IsRuntimeRaiseFunction(
                                   FunctionStart(reinterpret_cast<const void*>(context.Rip - 1)));
           ++i) {
        UnwindFrames(context, 1);
      }
      RecordCallRaise(state, context, object.Object);
      GoNotify(object, state.LastThrowAddress, true, false);
      TraceExit("HookedRaiseException");
    }
  }
  RealRaiseException(code, flags, argumentCount, arguments);
}

namespace {

PVOID vectoredHandler = nullptr;
std::terminate_handler previousTerminate = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;

// Records an operating-system exception with its own context and notifies.
void NotifyOsException(const EXCEPTION_RECORD& record, const CONTEXT& context) {
  TThreadCaptureState& state = ThreadCaptureState();
  const std::uintptr_t accessKind =
      record.NumberParameters >= 1 ? record.ExceptionInformation[0] : 0;
  const std::uintptr_t accessAddress =
      record.NumberParameters >= 2 ? record.ExceptionInformation[1] : 0;
  std::unique_ptr<EExternal> object =
      CreateOsExceptionObject(record.ExceptionCode, record.ExceptionAddress, accessKind,
                              accessAddress, ModuleFileNameOfAddress(record.ExceptionAddress));
  state.RaiseStackPointer = context.Rsp;
  state.StackStart = context.Rsp;
  SetRaiseContext(state, context);
  const TVexlorExceptionObject exception{object.get(), &typeid(*object)};
  GoNotify(exception, reinterpret_cast<std::uintptr_t>(record.ExceptionAddress), false, false);
  // The object lives only for the report.
  if (GetLastException().Object == exception) ClearLastException();
}

// A thread that is ending holds the runtime's or the loader's locks: ended
// alone it would leave them held, so the process ends, at once (its exit
// routines would wait for those locks).
[[noreturn]] void EndProcessOfEndingThread() {
  TerminateProcess(GetCurrentProcess(), 1);
  ExitProcess(1);
}

[[noreturn]] void EndThreadOrProcess() {
  if (IsMainThread()) ExitProcess(1);
  if (ThisThreadIsEnding()) EndProcessOfEndingThread();
  ExitThread(1);
}

struct TOverflow {
  const EXCEPTION_RECORD* Record;
  const CONTEXT* Context;
};

// On the reserve stack. Nothing in the program can handle a stack overflow it
// did not guard itself, and the exhausted stack has no room left for the
// unhandled-exception path: once reported, the thread or process ends here.
void NotifyStackOverflow(void* parameter) {
  const auto* overflow = static_cast<const TOverflow*>(parameter);
  TraceEnter("HookedExceptionObject",
             {overflow->Record->ExceptionCode, overflow->Record->ExceptionAddress});
  try {
    NotifyOsException(*overflow->Record, *overflow->Context);
  } catch (...) {
  }
  TraceExit("HookedExceptionObject");
  if (LastNotifiedAddress() ==
      reinterpret_cast<std::uintptr_t>(overflow->Record->ExceptionAddress)) {
    if (!IsMainThread()) HandOverReserveStack();
    EndThreadOrProcess();
  }
}

// First at every operating-system exception, before any frame's handler.
LONG CALLBACK FirstVectoredHandler(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  TThreadCaptureState& state = ThreadCaptureState();
  if (!MayIntercept(state) || !IsReportableOsExceptionCode(record.ExceptionCode) ||
      (record.ExceptionFlags & EXCEPTION_UNWINDING)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  THookGuard guard(state);
  TOverflow overflow{&record, pointers->ContextRecord};
  // An overflowed stack has one page left under Wine: a trace line, which
  // formats and allocates, would overflow it again. Its lines are written
  // on the reserve stack, or, without one, not at all.
  const bool overflowed = record.ExceptionCode == EXCEPTION_STACK_OVERFLOW;
  if (!overflowed || !RunOnReserveStack(&NotifyStackOverflow, &overflow)) {
    if (!overflowed)
      TraceEnter("HookedExceptionObject", {record.ExceptionCode, record.ExceptionAddress});
    try {
      NotifyOsException(record, *pointers->ContextRecord);
    } catch (...) {
    }
    if (!overflowed) TraceExit("HookedExceptionObject");
  }
  // A fault of an ending thread may be caught by the loader's guard around
  // TLS callbacks, which leaves the locks the thread held held for ever.
  if (LastNotifiedAddress() == reinterpret_cast<std::uintptr_t>(record.ExceptionAddress) &&
      !IsMainThread() && ThisThreadIsEnding())
    EndProcessOfEndingThread();
  return EXCEPTION_CONTINUE_SEARCH;
}

// A C++ exception nothing catches: the runtime calls this from inside the
// raise, with the stack still intact.
[[noreturn]] void HookedTerminate() {
  TThreadCaptureState& state = ThreadCaptureState();
  const TVexlorExceptionObject current = CurrentCppException();
  if (!ReporterFlags().Active || !current.Object || !ExceptNotifyActiveOption()) {
    // Without the reporter's say the program ends as it always would.
    if (previousTerminate) previousTerminate();
    std::abort();
  }
  if (!state.InHook && !state.InNotify) {
    THookGuard guard(state);
    TraceEnter("HookedExceptProc", {current.Object});
    try {
      const bool known = current.Object == state.LastThrownObject;
      const std::uintptr_t address = known ? state.LastThrowAddress : 0;
      // The silent exception ends the program like any other but is never
      // reported, here as at its raise.
      if (!IsAbortException(current) && (address == 0 || address != LastNotifiedAddress())) {
        // The registers of the raise when it was recorded; otherwise this
        // handler's caller's, so that no frame of the reporter is walked.
        if (!known || !HasRaiseContext(state)) {
          CONTEXT context;
          RtlCaptureContext(&context);
          UnwindFrames(context, 1);
          state.RaiseStackPointer = context.Rsp;
          state.StackStart = context.Rsp;
          SetRaiseContext(state, context);
        }
        SetLastException({current, address, true});
        ExceptNotify(current, address, true, 0, 0, nullptr);
      }
    } catch (...) {
    }
    TraceExit("HookedExceptProc");
  }
  EndThreadOrProcess();
}

// An operating-system exception nothing handled.
LONG WINAPI HookedUnhandledFilter(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  TThreadCaptureState& state = ThreadCaptureState();
  // C++ exceptions go back to the runtime, which ends them in terminate. In a
  // library whose host carries the reporter, the filter this one replaced
  // (the host reporter's) reports, as the host's reporter reports the rest.
  if (record.ExceptionCode == kGccThrowCode || !ReporterFlags().Active ||
      !ExceptNotifyActiveOption() ||
      (ReporterFlags().MainExecutableCarriesReporter && previousFilter)) {
    return previousFilter ? previousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
  }
  if (!state.InHook && !state.InNotify) {
    THookGuard guard(state);
    TraceEnter("HookedExceptProc", {record.ExceptionCode, record.ExceptionAddress});
    try {
      const auto address = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
      if (address != LastNotifiedAddress()) {
        // Reported at first chance unless handled there; here nothing is.
        const std::uintptr_t accessKind =
            record.NumberParameters >= 1 ? record.ExceptionInformation[0] : 0;
        const std::uintptr_t accessAddress =
            record.NumberParameters >= 2 ? record.ExceptionInformation[1] : 0;
        std::unique_ptr<EExternal> object = CreateOsExceptionObject(
            record.ExceptionCode, record.ExceptionAddress, accessKind, accessAddress,
            ModuleFileNameOfAddress(record.ExceptionAddress));
        const TVexlorExceptionObject exception{object.get(), &typeid(*object)};
        state.RaiseStackPointer = pointers->ContextRecord->Rsp;
        state.StackStart = pointers->ContextRecord->Rsp;
        SetRaiseContext(state, *pointers->ContextRecord);
        SetLastException({exception, address, false});
        ExceptNotify(exception, address, false, 0, 0, nullptr);
      }
    } catch (...) {
    }
    TraceExit("HookedExceptProc");
  }
  EndThreadOrProcess();
}

}  // namespace

void InstallRaiseHandlers() {
  vectoredHandler = AddVectoredExceptionHandler(1, &FirstVectoredHandler);
  previousTerminate = std::set_terminate(&HookedTerminate);
  previousFilter = SetUnhandledExceptionFilter(&HookedUnhandledFilter);
  CreateReserveStack();
  raiseHooksInstalled = true;
}

void RemoveRaiseHandlers() {
  raiseHooksInstalled = false;
  if (vectoredHandler) RemoveVectoredExceptionHandler(vectoredHandler);
  vectoredHandler = nullptr;
  std::set_terminate(previousTerminate);
  SetUnhandledExceptionFilter(previousFilter);
  FreeReserveStack();
}
