// GUI crashers have no console: their reports go to "<exe>.reports.txt",
// written by an exception-notify handler, where the runner reads them.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "reporter/pipeline/EventHandlers.h"
#include "reporter/pipeline/ExceptionRecord.h"

inline void WriteReportsBesideExecutable() {
  SetGlobalExceptionNotify([](TVexlorExceptionRecord& record, bool&) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string name = std::string(exe) + ".reports.txt";
    if (std::FILE* file = std::fopen(name.c_str(), "ab")) {
      std::fwrite(record.LogText.data(), 1, record.LogText.size(), file);
      std::fwrite("\r\n", 1, 2, file);
      std::fclose(file);
    }
  });
}
