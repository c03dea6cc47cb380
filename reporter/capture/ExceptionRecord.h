// The record of the exception being reported, read by report building, the
// log file, the dialog and delivery; and the pipeline's process-wide state.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "reporter/capture/ExceptionObject.h"

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
};
TPipelineState& PipelineState();
