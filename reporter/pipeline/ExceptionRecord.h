// The record of the exception being reported, read by report building, the
// log file, the dialog and delivery; and the pipeline's process-wide state.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "reporter/interception/ExceptionObject.h"

class TVexlorModulesList;
class TVexlorStackList;
class TVexlorModuleOptionsEx;

struct TVexlorExceptionRecord {
  TVexlorExceptionObject ExceptionObject;  // not owned
  std::uintptr_t ExceptionAddress = 0;     // the faulting instruction or the raising call
  std::uint32_t ThreadID = 0;
  std::string LogText;
  TVexlorModulesList* ModulesList = nullptr;        // not owned
  TVexlorStackList* CallStack = nullptr;            // owned by the pipeline while it runs
  TVexlorModuleOptionsEx* ModuleOptions = nullptr;  // not owned
  // What the user typed in the request dialog, trimmed; read by the log file
  // and by e-mail delivery. Cleared when a report begins.
  std::string ReproduceSteps;
};

// Non-null exactly while a report is being made.
TVexlorExceptionRecord* CurrentExceptionRecord();
void SetCurrentExceptionRecord(TVexlorExceptionRecord* record);
// The single instance the pipeline fills.
TVexlorExceptionRecord& ExceptionRecordInstance();

struct TPipelineState {
  std::atomic<std::uintptr_t> LastNotifiedAddress{0};
  std::atomic<const void*> LastNotifiedObject{nullptr};
  std::atomic<int> ExceptionCounter{0};
  std::atomic<bool> TerminateRequest{false};  // set by the exception dialog
  std::atomic<bool> GoOn{true};               // the current report goes on
  // Set when the options are chosen (e-mail on; AttachScreenshot); the
  // exception dialog starts its send and screenshot boxes from them and
  // stores the user's choice back, which delivery then follows.
  std::atomic<bool> SendFlag{false};
  std::atomic<bool> ScreenshotFlag{false};
  // The current exception is already in the log file: it is neither offered
  // for sending nor sent. Tested again after every application handler.
  std::atomic<bool> Repeated{false};
  // The step the current report has reached, named in an internal error.
  std::atomic<int> Stage{0};
};
TPipelineState& PipelineState();

// The repeat test of the current report, again: the application's handlers
// may have changed the options it depends on.
void RetestRepeatedException();
