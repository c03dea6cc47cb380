// Stands in for the exception dialog's Terminate/Restart button, which a
// crasher cannot press: the notify handler asks for the process to end once
// the report is written.
#pragma once

#include "reporter/pipeline/EventHandlers.h"
#include "reporter/pipeline/ExceptionRecord.h"

inline void RequestTerminateAfterReport() {
  SetGlobalExceptionNotify(
      [](TVexlorExceptionRecord&, bool&) { PipelineState().TerminateRequest = true; });
}
