// An ISAPI extension library built with the reporter and its data. A request
// whose query is "fail" raises out of HttpExtensionProc, one whose query is
// "fault" writes through a null pointer; the report is the request's
// response. ReportsShown counts the reports that reached a client (the
// after-dialog action); StaticInitialisationOver tells whether the reporter
// saw the library's static objects built; LeavesReportsToHost whether it
// found reporter data in the host and so leaves the reports to the host's.
#include <windows.h>

#include <httpext.h>

#include <atomic>
#include <cstring>
#include <string>

#include "reporter/interception/CaptureStateWin.h"
#include "reporter/pipeline/EventHandlers.h"
#include "runtime/Exceptions.h"

namespace {

std::atomic<int> reportsShown{0};

struct TCountShown {
  TCountShown() {
    SetGlobalActionNotify([](TVexlorExceptionRecord&, TVexlorAction action, bool&) {
      if (action == TVexlorAction::atShowedExceptionInfo) ++reportsShown;
    });
  }
} countShown;

__attribute__((noinline)) void AnswerQuery(EXTENSION_CONTROL_BLOCK* block) {
  const std::string query = block->lpszQueryString ? block->lpszQueryString : "";
  if (query == "fail") throw EConvertError("Query <" + query + "> & \"more\" not understood");
  if (query == "fault") {
    int* volatile target = nullptr;
    *target = 1;
  }
  DWORD length = 2;
  block->WriteClient(block->ConnID, const_cast<char*>("ok"), &length, 0);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI GetExtensionVersion(HSE_VERSION_INFO* version) {
  version->dwExtensionVersion = HSE_VERSION;
  std::strcpy(version->lpszExtensionDesc, "Reporter test extension");
  return TRUE;
}

extern "C" __declspec(dllexport) DWORD WINAPI HttpExtensionProc(EXTENSION_CONTROL_BLOCK* block) {
  AnswerQuery(block);
  return HSE_STATUS_SUCCESS;
}

extern "C" __declspec(dllexport) BOOL WINAPI TerminateExtension(DWORD) {
  return TRUE;
}

extern "C" __declspec(dllexport) int ReportsShown() {
  return reportsShown.load();
}

extern "C" __declspec(dllexport) bool StaticInitialisationOver() {
  return ReporterFlags().Active && !ReporterFlags().UnitsInitialising;
}

extern "C" __declspec(dllexport) bool LeavesReportsToHost() {
  return ReporterFlags().MainExecutableCarriesReporter;
}
