// The interception hooks of this test program, installed for real: which
// raises become reports, once, with which object, address and stack.
#include <windows.h>

#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reporter/capture/GoNotify.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/debugdata/StackList.h"
#include "reporter/interception/CaptureStateWin.h"
#include "reporter/pipeline/EventHandlers.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/startup/ReporterStartup.h"
#include "runtime/Exceptions.h"

namespace {

struct TSeenReport {
  std::string ClassName;
  std::string Message;
  std::uintptr_t Address = 0;
  std::uint32_t ThreadID = 0;
  std::size_t StackItems = 0;
  bool HasText = false;
};

std::mutex seenLock;
std::vector<TSeenReport> seen;

// Every report is taken by this handler, which stops the pipeline before it
// shows anything unless told otherwise.
bool letPipelineGoOn = false;

void RecordReport(TVexlorExceptionRecord& record, bool& goOn) {
  std::lock_guard guard(seenLock);
  TSeenReport report;
  report.ClassName = ExceptionClassName(record.ExceptionObject);
  report.Message = ExceptionMessage(record.ExceptionObject);
  report.Address = record.ExceptionAddress;
  report.ThreadID = record.ThreadID;
  report.StackItems = record.CallStack ? record.CallStack->Count() : 0;
  report.HasText = record.LogText.find("VexlorLog") != std::string::npos;
  seen.push_back(report);
  goOn = letPipelineGoOn;
}

std::vector<TSeenReport> TakeReports() {
  std::lock_guard guard(seenLock);
  return std::exchange(seen, {});
}

// Runs the body in a thread of its own (created through the hooks), where an
// escaping exception ends only that thread. Returns the thread's exit code.
DWORD InThread(std::function<void()> body) {
  auto* copy = new std::function<void()>(std::move(body));
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID parameter) -> DWORD {
        std::unique_ptr<std::function<void()>> run(static_cast<std::function<void()>*>(parameter));
        (*run)();
        return 7;
      },
      copy, 0, nullptr);
  EXPECT_NE(thread, nullptr);
  if (!thread) return 0;
  WaitForSingleObject(thread, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeThread(thread, &exitCode);
  CloseHandle(thread);
  return exitCode;
}

class InterceptionEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    options_ = std::make_unique<TVexlorModuleOptionsEx>("capture_tests.exe", false);
    options_->SetActive(true);
    StartInterception(options_.get());
    SetGlobalExceptionNotify(&RecordReport);
  }
  void TearDown() override {
    SetGlobalExceptionNotify(nullptr);
    StopInterception();
  }

 private:
  std::unique_ptr<TVexlorModuleOptionsEx> options_;
};
const auto* environment = ::testing::AddGlobalTestEnvironment(new InterceptionEnvironment);

__attribute__((noinline)) void Raise(const std::string& message) {
  throw EConvertError(message);
}

TEST(InterceptionTest, CaughtExceptionsAreNotReported) {
  InThread([] {
    try {
      Raise("caught");
    } catch (const EConvertError&) {
    }
  });
  try {
    Raise("caught in the main thread");
  } catch (const Exception&) {
  }
  const auto reports = TakeReports();
  EXPECT_TRUE(reports.empty()) << reports[0].Message << " in " << reports[0].ThreadID;
}

TEST(InterceptionTest, EscapingAThreadIsReportedOnceAtTheRaisingCall) {
  DWORD threadID = 0;
  InThread([&] {
    threadID = GetCurrentThreadId();
    Raise("escapes");
  });
  const auto reports = TakeReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].ClassName, "EConvertError");
  EXPECT_EQ(reports[0].Message, "escapes");
  EXPECT_EQ(reports[0].ThreadID, threadID);
  EXPECT_TRUE(reports[0].HasText);
  EXPECT_GT(reports[0].StackItems, 0u);
  // The call instruction inside Raise, not the return address behind it.
  const auto raise = reinterpret_cast<std::uintptr_t>(&Raise);
  EXPECT_GT(reports[0].Address, raise);
  EXPECT_LT(reports[0].Address, raise + 0x400);
}

TEST(InterceptionTest, ProcessorFaultsAreReportedWithTheirClass) {
  // Nothing handles them: reported once at first chance, and the unhandled
  // end takes the thread down with exit code 1.
  EXPECT_EQ(InThread([] {
              volatile int* volatile nowhere = nullptr;
              *nowhere = 1;
            }),
            1u);
  EXPECT_EQ(InThread([] {
              volatile int zero = 0;
              volatile int result = 10 / zero;
              static_cast<void>(result);
            }),
            1u);
  const auto reports = TakeReports();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].ClassName, "EAccessViolation");
  EXPECT_NE(reports[0].Message.find("Write of address 0000000000000000"), std::string::npos);
  EXPECT_EQ(reports[1].ClassName, "EDivByZero");
}

volatile int depthLimit = 1 << 30;
__attribute__((noinline)) int Descend(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  if (depth >= depthLimit) return frame[0];
  return Descend(depth + 1) + frame[0];
}

TEST(InterceptionTest, StackOverflowIsReportedAndEndsOnlyItsThread) {
  // The second overflow finds a reserve stack as well.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(InThread([] { Descend(0); }), 1u);
    const auto reports = TakeReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].ClassName, "EStackOverflow");
    EXPECT_GT(reports[0].StackItems, 0u);
  }
  // The process goes on, and later faults are reported as before.
  EXPECT_EQ(InThread([] {
              volatile int* volatile nowhere = nullptr;
              *nowhere = 2;
            }),
            1u);
  EXPECT_EQ(TakeReports().size(), 1u);
}

TEST(InterceptionTest, RethrowOfAHandledExceptionIsReportedWhereItEscapes) {
  InThread([] {
    try {
      Raise("first handled, then rethrown");
    } catch (...) {
      throw;
    }
  });
  const auto reports = TakeReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].Message, "first handled, then rethrown");
}

TEST(InterceptionTest, SafeCallBoundaryReportsOnceAndConsumesTheMark) {
  InThread([] {
    const long result = SafeCall([]() -> long {
      Raise("inside the COM method");
      return 0;
    });
    EXPECT_EQ(result, static_cast<long>(0x8000FFFFL));
    // The caller turns the HRESULT back into an exception that escapes.
    throw EOleException("The call failed", result);
  });
  const auto reports = TakeReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].Message, "inside the COM method");

  InThread([] { Raise("the next one is reported again"); });
  EXPECT_EQ(TakeReports().size(), 1u);
}

TEST(InterceptionTest, ExceptionManagerReportsTheExceptionBeingHandled) {
  // The report runs to its end (nothing to show, nothing to save): the
  // framework is told not to handle it again.
  CurrentVexlorLogOptions().SetShowExceptionDialog(false);
  CurrentVexlorLogOptions().SetSaveLogFile(false);
  letPipelineGoOn = true;
  bool letFrameworkHandle = true;
  try {
    Raise("reached the framework");
  } catch (...) {
    letFrameworkHandle = ExceptionManager();
  }
  letPipelineGoOn = false;
  EXPECT_FALSE(letFrameworkHandle);
  const auto reports = TakeReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].Message, "reached the framework");

  // A notify handler that keeps the program's own handling.
  try {
    Raise("handled by the program after all");
  } catch (...) {
    letFrameworkHandle = ExceptionManager();
  }
  EXPECT_TRUE(letFrameworkHandle);
  EXPECT_EQ(TakeReports().size(), 1u);
}

TEST(InterceptionTest, AbortAndInactiveOptionsReportNothing) {
  InThread([] { throw EAbort("silent"); });
  EXPECT_TRUE(TakeReports().empty());

  CurrentVexlorLogOptions().SetActive(false);
  InThread([] { Raise("while inactive"); });
  bool letFrameworkHandle = false;
  try {
    Raise("framework while inactive");
  } catch (...) {
    letFrameworkHandle = ExceptionManager();
  }
  CurrentVexlorLogOptions().SetActive(true);
  EXPECT_TRUE(letFrameworkHandle);
  EXPECT_TRUE(TakeReports().empty());
}

TEST(InterceptionTest, HookedThreadsKeepTheirResultAndLastError) {
  DWORD exitCode = 0;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        SetLastError(1234);
        try {
          Raise("caught");
        } catch (...) {
        }
        return GetLastError();
      },
      nullptr, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  GetExitCodeThread(thread, &exitCode);
  CloseHandle(thread);
  EXPECT_EQ(exitCode, 1234u);
}

}  // namespace
