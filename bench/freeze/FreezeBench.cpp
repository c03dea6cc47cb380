// What freeze detection costs and how fast it reports. Run under Wine:
//   tests/harness/wine-run build/windows/bench/freeze_bench.exe [seconds]
// 1. Idle: a program with an application window that only waits for
//    messages, the same span with the watcher off and on; the difference in
//    the process's CPU time is the watcher's (its probes and the main
//    thread's answers), given per minute and as a share of one core.
//    With the arguments "idle on|off seconds" it only idles so long, for a
//    measurement from outside (the Wine server's share of the probes).
// 2. Reporting: the main thread blocks for the time-out and a half; the
//    figure is the time from the time-out (block start + FreezeTimeout) to
//    the report stored in a file by the program's exception-notify handler.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/freeze/FreezeWatchWin.h"
#include "reporter/pipeline/EventHandlers.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "runtime/Forms.h"

namespace {

double NowMs() {
  static LARGE_INTEGER frequency{};
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double ProcessCpuMs() {
  FILETIME creation, exit, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
           10000.0;
  };
  return ms(kernel) + ms(user);
}

void PumpFor(double ms) {
  const double end = NowMs() + ms;
  for (double now = NowMs(); now < end; now = NowMs()) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now) + 1, QS_ALLINPUT);
  }
}

double IdleCpuMs(double spanMs) {
  const double before = ProcessCpuMs();
  PumpFor(spanMs);
  return ProcessCpuMs() - before;
}

std::atomic<double> storedAt{0};
std::string reportFile;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const bool idleOnly = argc > 3 && std::string(argv[1]) == "idle";
  const double idleSeconds = idleOnly ? std::atof(argv[3]) : argc > 1 ? std::atof(argv[1]) : 30;
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  reportFile = std::string(exe) + ".reports.txt";
  DeleteFileA(reportFile.c_str());
  SetGlobalExceptionNotify([](TVexlorExceptionRecord& record, bool&) {
    HANDLE file = CreateFileA(reportFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, record.LogText.data(), static_cast<DWORD>(record.LogText.size()), &written,
              nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
    storedAt = NowMs();
  });

  TApplication application;
  application.Initialize();
  TVexlorModuleOptionsEx& options = CurrentVexlorLogOptions();
  options.SetFreezeTimeout(1);
  options.SetShowExceptionDialog(false);

  if (idleOnly) {
    options.SetFreezeActivate(std::string(argv[2]) == "on");
    std::printf("idle %s for %.0f s: CPU %.1f ms\n", argv[2], idleSeconds,
                IdleCpuMs(idleSeconds * 1000));
    return 0;
  }

  // Idle, off and on in turn, so that a burst of load elsewhere falls on both.
  const double span = idleSeconds * 1000 / 2;
  double off = 0, on = 0;
  for (int round = 0; round < 2; ++round) {
    options.SetFreezeActivate(false);
    off += IdleCpuMs(span / 2);
    options.SetFreezeActivate(true);
    PumpFor(200);
    on += IdleCpuMs(span / 2);
  }
  const double perMinute = (on - off) * 60000.0 / span;
  std::printf(
      "idle %.0f s each: CPU %.1f ms off, %.1f ms on; watcher %.1f ms per minute "
      "(%.3f %% of one core); probes sent %llu\n",
      span / 1000, off, on, perMinute, perMinute / 600.0,
      static_cast<unsigned long long>(FreezeWatchProbeCount()));

  std::vector<double> latencies;
  for (int run = 0; run < 9; ++run) {
    storedAt = 0;
    const double start = NowMs();
    Sleep(1500);
    PumpFor(100);
    const double deadline = NowMs() + 5000;
    while (storedAt.load() == 0 && NowMs() < deadline) PumpFor(20);
    if (storedAt.load() == 0) {
      std::printf("run %d: no report\n", run + 1);
      continue;
    }
    latencies.push_back(storedAt.load() - (start + 1000));
    std::printf("run %d: stored %.0f ms after the time-out\n", run + 1, latencies.back());
    PumpFor(500);
  }
  if (latencies.size() > 1) {
    std::vector<double> later(latencies.begin() + 1, latencies.end());
    std::printf("time-out to stored report: first %.0f ms, later median %.0f ms, max %.0f ms\n",
                latencies.front(), Median(later), *std::max_element(later.begin(), later.end()));
  }
  options.SetFreezeActivate(false);
  return 0;
}
