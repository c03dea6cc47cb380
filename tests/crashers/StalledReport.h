// A log-file step standing in for one that never comes back (a lock held by
// the raising thread, a frozen allocator) or for a person reading a window of
// the report, for the crashers that test the report's progress bound.
#pragma once

#include <windows.h>

#include <cstdio>

#include "reporter/pipeline/LogFileStage.h"
#include "reporter/pipeline/ReportProgress.h"

class TStalledLogFile : public TVexlorLogFileStage {
 public:
  // personLooking: the step waits for a person, pausing the bound meanwhile.
  TStalledLogFile(DWORD milliseconds, bool personLooking)
      : milliseconds_(milliseconds), personLooking_(personLooking) {}
  bool IsRepeatedException(const TVexlorExceptionRecord&) override { return false; }
  bool AppendToLogFile(TVexlorExceptionRecord&) override {
    if (personLooking_) {
      const TVexlorReportPause reading;
      Sleep(milliseconds_);
    } else {
      Sleep(milliseconds_);
    }
    std::printf("log step returned\n");
    std::fflush(stdout);
    return true;
  }

 private:
  DWORD milliseconds_;
  bool personLooking_;
};
