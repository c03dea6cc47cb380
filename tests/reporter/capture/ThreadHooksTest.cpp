// The thread hooks and the reporter's start-up state in this test program,
// with the interception installed: thread records, creator stacks, the
// names and lines of the internal trace.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reporter/capture/HttpExtensionHook.h"
#include "reporter/capture/ThreadHooks.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "reporter/debugdata/DebugLookup.h"
#include "reporter/debugdata/ThreadsList.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/startup/ReporterStartup.h"
#include "runtime/Exceptions.h"
#include "runtime/Thread.h"

// Outside the anonymous namespace: the trace names threads by this class.
class TDecoderThread : public TThread {
 public:
  TDecoderThread() : TThread(true) {}

 protected:
  void Execute() override {
    try {
      throw EConvertError("bad frame header");
    } catch (const EConvertError&) {
    }
  }
};

namespace {

class TIdleThread : public TThread {
 public:
  TIdleThread() : TThread(true) {}

 protected:
  void Execute() override {}
};

struct TRecordCopy {
  bool Found = false;
  std::uintptr_t Start = 0;
  std::uintptr_t Parameter = 0;
  std::vector<std::uint8_t> CreatorStack;
  void* ThreadObject = nullptr;
};

TRecordCopy RecordOf(HANDLE handle) {
  TRecordCopy copy;
  TVexlorThreadsList& list = VexlorThreadsList();
  list.Lock();
  const std::ptrdiff_t index = list.IndexOfHandle(reinterpret_cast<std::uintptr_t>(handle));
  if (index >= 0) {
    const TVexlorThreadInfo& info = list.Get(static_cast<std::size_t>(index));
    copy = {true, info.StartAddress, info.Parameter, info.CreatorStack, info.ThreadObject};
  }
  list.Unlock();
  return copy;
}

struct TGate {
  HANDLE Release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> Ran{false};
  ~TGate() { CloseHandle(Release); }
};

DWORD WINAPI WaitThenExit(LPVOID parameter) {
  auto* gate = static_cast<TGate*>(parameter);
  gate->Ran = true;
  WaitForSingleObject(gate->Release, INFINITE);
  ExitThread(5);
}

constexpr std::uint64_t kStackMarker = 0x51A7C0FFEE5EED00ull;

bool Contains(const std::vector<std::uint8_t>& bytes, std::uint64_t value) {
  for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t slot = 0;
    std::memcpy(&slot, &bytes[i], 8);
    if (slot == value) return true;
  }
  return false;
}

TEST(ThreadHooksTest, SuspendedThreadWaitsForItsCreatorAndGetsItsStack) {
  volatile std::uint64_t marker = kStackMarker;
  TGate gate;
  HANDLE thread = CreateThread(nullptr, 0, &WaitThenExit, &gate, CREATE_SUSPENDED, nullptr);
  ASSERT_NE(thread, nullptr);
  Sleep(50);
  EXPECT_FALSE(gate.Ran);
  const TRecordCopy created = RecordOf(thread);
  ASSERT_TRUE(created.Found);
  EXPECT_EQ(created.Start, reinterpret_cast<std::uintptr_t>(&WaitThenExit));
  EXPECT_EQ(created.Parameter, reinterpret_cast<std::uintptr_t>(&gate));
  EXPECT_TRUE(created.CreatorStack.empty());

  ResumeThread(thread);
  while (!gate.Ran) Sleep(1);
  const TRecordCopy resumed = RecordOf(thread);
  ASSERT_TRUE(resumed.Found);
  // From the resume call up to the base of this thread's stack: this frame's
  // locals are in it.
  const std::size_t above = CurrentStackBase() - reinterpret_cast<std::uintptr_t>(&marker);
  EXPECT_GE(resumed.CreatorStack.size(), above);
  EXPECT_LT(resumed.CreatorStack.size(), above + 64 * 1024);
  EXPECT_TRUE(Contains(resumed.CreatorStack, marker));

  SetEvent(gate.Release);
  WaitForSingleObject(thread, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeThread(thread, &exitCode);
  EXPECT_EQ(exitCode, 5u);
  EXPECT_FALSE(RecordOf(thread).Found) << "ExitThread forgets the record";
  CloseHandle(thread);

  // A thread that simply returns forgets its record as well.
  HANDLE returning = CreateThread(
      nullptr, 0, [](LPVOID) -> DWORD { return 9; }, nullptr, 0, nullptr);
  WaitForSingleObject(returning, INFINITE);
  GetExitCodeThread(returning, &exitCode);
  EXPECT_EQ(exitCode, 9u);
  EXPECT_FALSE(RecordOf(returning).Found);
  CloseHandle(returning);
}

// Lines of the trace written since `from` by a thread whose text ends with
// threadSuffix, for the routine name (an entry line) or name + "=".
bool HasTraceLine(std::size_t from, const std::string& threadSuffix, const std::string& routine) {
  const std::regex line("\\[[0-9A-F]{8}:" + threadSuffix + "\\] *" +
                        std::regex_replace(routine, std::regex("[=.]"), "\\$&") + "(\\(.*)?$");
  const std::vector<std::string> lines = TraceLines();
  return std::any_of(lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())),
                     lines.end(),
                     [&](const std::string& text) { return std::regex_search(text, line); });
}

TEST(ThreadHooksTest, HooksWriteEntryAndExitLinesNamedByTheirThread) {
  // The class library's thread procedure, as the start address of one of its
  // threads (this program carries no debug data to find it by name).
  TIdleThread idle;
  const auto classLibraryProc =
      reinterpret_cast<LPTHREAD_START_ROUTINE>(RecordOf(idle.Handle()).Start);
  idle.Start();
  idle.WaitFor();
  ASSERT_NE(classLibraryProc, nullptr);
  SetClassLibraryThreadProc(classLibraryProc);

  SetTraceEnabled(true);
  const std::size_t from = TraceLines().size();
  {
    TDecoderThread decoder;
    EXPECT_EQ(RecordOf(decoder.Handle()).ThreadObject, static_cast<TThread*>(&decoder));
    decoder.Start();
    decoder.WaitFor();
  }
  TGate gate;
  SetEvent(gate.Release);
  HANDLE raw = CreateThread(nullptr, 0, &WaitThenExit, &gate, 0, nullptr);
  WaitForSingleObject(raw, INFINITE);
  CloseHandle(raw);
  SetTraceEnabled(false);
  SetClassLibraryThreadProc(nullptr);

  for (const char* routine : {"HookedCreateThread", "HookedResumeThread"}) {
    EXPECT_TRUE(HasTraceLine(from, "MainThread", routine)) << routine;
    EXPECT_TRUE(HasTraceLine(from, "MainThread", std::string(routine) + "=")) << routine;
  }
  for (const char* routine : {"HookedThreadProc", "HookedRTLThreadProc", "HookedRaise", "GoNotify",
                              "IsExceptionHandled"}) {
    EXPECT_TRUE(HasTraceLine(from, "TDecoderThread", routine)) << routine;
    EXPECT_TRUE(HasTraceLine(from, "TDecoderThread", std::string(routine) + "=")) << routine;
  }
  // A thread without a thread object: nothing after the colon.
  EXPECT_TRUE(HasTraceLine(from, "", "HookedExitThread"));
  EXPECT_TRUE(HasTraceLine(from, "", "HookedExitThread="));
}

TEST(ReporterStartupTest, StartAndStopKeepTheMainThreadsFactsAndTheOptionsAssertion) {
  EXPECT_TRUE(IsMainThread());
  EXPECT_EQ(MainThreadStackBase(), CurrentStackBase());
  ASSERT_NE(MainThreadHandle(), nullptr);
  // What a freeze report does from its own thread: suspend the main thread
  // and read where its stack is.
  struct TProbe {
    CONTEXT Context{};
    bool Read = false;
  } probe;
  HANDLE prober = CreateThread(
      nullptr, 0,
      [](LPVOID parameter) -> DWORD {
        auto* probe = static_cast<TProbe*>(parameter);
        if (SuspendThread(MainThreadHandle()) == static_cast<DWORD>(-1)) return 1;
        probe->Context.ContextFlags = CONTEXT_CONTROL;
        probe->Read = GetThreadContext(MainThreadHandle(), &probe->Context) != FALSE;
        ResumeThread(MainThreadHandle());
        return 0;
      },
      &probe, 0, nullptr);
  WaitForSingleObject(prober, INFINITE);
  CloseHandle(prober);
  ASSERT_TRUE(probe.Read);
  EXPECT_LT(probe.Context.Rsp, MainThreadStackBase());
  EXPECT_LT(MainThreadStackBase() - probe.Context.Rsp, 16u * 1024 * 1024);

  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  StopInterception();
  EXPECT_EQ(MainThreadHandle(), nullptr);
  try {
    CurrentVexlorLogOptions();
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(),
                 "Cannot use 'CurrentVexlorLogOptions' function without VexlorLog activate.");
  }
  StartInterception(&options);
  EXPECT_EQ(&CurrentVexlorLogOptions(), &options);
  EXPECT_NE(MainThreadHandle(), nullptr);
}

}  // namespace

// The web-server entry, exported by this program as a server module exports
// it: start-up redirected the export to the reporter's replacement.
std::atomic<int> foreignRequestsSeen{0};
extern "C" __declspec(dllexport) DWORD WINAPI HttpExtensionProc(void* extensionControlBlock) {
  if (CurrentExtensionControlBlock() != extensionControlBlock) ++foreignRequestsSeen;
  if (!extensionControlBlock) throw EConvertError("no request");
  return 4;
}

namespace {

using THttpExtensionProc = DWORD(WINAPI*)(void*);

THttpExtensionProc ExportedHttpExtensionProc() {
  return reinterpret_cast<THttpExtensionProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(nullptr), "HttpExtensionProc")));
}

TEST(ReporterStartupTest, ExportedHttpExtensionProcKnowsItsRequestPerThread) {
  const THttpExtensionProc entry = ExportedHttpExtensionProc();
  ASSERT_NE(entry, nullptr);
  EXPECT_NE(entry, &HttpExtensionProc);
  int request = 0;
  EXPECT_EQ(entry(&request), 4u);
  EXPECT_EQ(foreignRequestsSeen, 0);
  EXPECT_EQ(CurrentExtensionControlBlock(), nullptr);

  // A request that fails leaves no stale block behind.
  EXPECT_THROW(entry(nullptr), EConvertError);
  EXPECT_EQ(CurrentExtensionControlBlock(), nullptr);

  // Requests run at once on many threads; each sees its own.
  struct TRequest {
    THttpExtensionProc Entry;
    std::atomic<int> Mismatches{0};
  } shared{entry, {}};
  std::vector<HANDLE> threads;
  for (int i = 0; i < 4; ++i) {
    threads.push_back(CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
          auto* shared = static_cast<TRequest*>(parameter);
          for (int n = 0; n < 2000; ++n) {
            int own = 0;
            shared->Entry(&own);
            if (CurrentExtensionControlBlock() != nullptr) ++shared->Mismatches;
          }
          return 0;
        },
        &shared, 0, nullptr));
  }
  WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
  for (HANDLE thread : threads) CloseHandle(thread);
  EXPECT_EQ(shared.Mismatches, 0);
  EXPECT_EQ(foreignRequestsSeen, 0);

  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  StopInterception();
  EXPECT_EQ(ExportedHttpExtensionProc(), &HttpExtensionProc);
  StartInterception(&options);
  EXPECT_NE(ExportedHttpExtensionProc(), &HttpExtensionProc);
}

}  // namespace
