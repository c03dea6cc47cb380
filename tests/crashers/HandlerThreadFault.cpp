// The report's own thread faults while it holds the modules list and the
// threads list: that report is cut off (an internal error), and the process
// goes on: a new thread still starts and its exception is still reported,
// with its creator's stack from the threads list.
// expect: exit=0
// expect: reports=1
// expect: type=EConvertError
// expect: message=Second frame.
// expect: stack=HandlerThreadFault.cpp||ParseSecond|@second
// expect: stack=HandlerThreadFault.cpp||main|@start
// expect: output=main goes on; internal errors: 1
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "reporter/config/InternalErrors.h"
#include "reporter/debugdata/DebugLookup.h"
#include "reporter/pipeline/ScreenshotStage.h"
#include "runtime/Exceptions.h"

std::atomic<int> internalErrors{0};

// Stands in for a screenshot step that reads something damaged: the first
// report's thread faults inside both list locks.
class TFaultingStages : public TVexlorScreenshotStage {
 public:
  void CaptureScreen() override {
    if (faulted_.exchange(true)) return;
    TModulesListLock modules;
    VexlorThreadsList().Lock();
    FindModuleInfo(reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr)));
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
  }
  void WriteScreenshotFile() override {}
  void ReleaseScreen() override {}
  void DeleteScreenshotFile() override {}

 private:
  std::atomic<bool> faulted_{false};
};

// The bug-mail question of the internal error, answered "no" here.
class TCountingErrorUI : public TInternalErrorUI {
 public:
  int ShowMessage(const std::string&, const std::string&, std::uint32_t) override {
    ++internalErrors;
    return IDNO;
  }
};

__attribute__((noinline)) void ParseFirst() {
  throw EConvertError("First frame");
}

__attribute__((noinline)) void ParseSecond() {
  throw EConvertError("Second frame");  // mark: second
}

DWORD WINAPI FirstWorker(LPVOID) {
  ParseFirst();
  return 0;
}

DWORD WINAPI SecondWorker(LPVOID) {
  ParseSecond();
  return 0;
}

int main() {
  TFaultingStages stages;
  SetScreenshotStage(&stages);
  TCountingErrorUI errorUI;
  SetInternalErrorUI(&errorUI);

  HANDLE first = CreateThread(nullptr, 0, &FirstWorker, nullptr, 0, nullptr);
  WaitForSingleObject(first, INFINITE);
  CloseHandle(first);

  HANDLE second = CreateThread(nullptr, 0, &SecondWorker, nullptr, 0, nullptr);  // mark: start
  if (!second) return 2;
  WaitForSingleObject(second, INFINITE);
  CloseHandle(second);

  SetInternalErrorUI(nullptr);
  SetScreenshotStage(nullptr);
  std::printf("main goes on; internal errors: %d\n", internalErrors.load());
  return 0;
}
