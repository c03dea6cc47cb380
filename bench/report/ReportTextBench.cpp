// Figures for building a report as the call stack and the modules list grow:
// the time per table row should stay flat (rows go into one buffer).
#include <chrono>
#include <cstdio>
#include <deque>
#include <string>

#include "reporter/report/ReportText.h"

namespace {

double MicrosecondsPerBuild(std::size_t rows, int repetitions) {
  std::deque<TVexlorModuleInfo> modules;
  TVexlorReportInput input;
  TVexlorStackList stack;
  for (std::size_t i = 0; i < rows; ++i) {
    TVexlorModuleInfo& module = modules.emplace_back();
    module.Handle = 0x7FF800000000 + i * 0x100000;
    module.FileName = "C:\\Windows\\System32\\module" + std::to_string(i) + ".dll";
    module.Description = "Module number " + std::to_string(i);
    module.Version = "10.0.19041." + std::to_string(i);
    module.FileSize = static_cast<std::uint32_t>(100000 + i);
    input.Modules.push_back(&module);
    stack.Add({dikSourceLine, &module, module.Handle + 0x1234, "Unit" + std::to_string(i) + ".cpp",
               "TClass" + std::to_string(i % 17), "Procedure" + std::to_string(i),
               static_cast<std::int32_t>(i)});
  }
  input.CallStack = &stack;
  input.Context = TReportCpuContext{};
  input.Dump = TReportMemoryDump{};

  std::size_t total = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < repetitions; ++r) total += MakeReport(input).ReportText.size();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  if (total == 0) std::puts("empty report");
  return std::chrono::duration<double, std::micro>(elapsed).count() / repetitions;
}

}  // namespace

int main() {
  std::printf("%8s %14s %14s\n", "rows", "us/report", "us/row");
  double smallPerRow = 0;
  double largePerRow = 0;
  for (std::size_t rows : {10u, 100u, 1000u, 10000u}) {
    const int repetitions = rows >= 10000 ? 5 : rows >= 1000 ? 50 : 500;
    const double perBuild = MicrosecondsPerBuild(rows, repetitions);
    const double perRow = perBuild / static_cast<double>(rows);
    if (rows == 100) smallPerRow = perRow;
    if (rows == 10000) largePerRow = perRow;
    std::printf("%8zu %14.1f %14.3f\n", rows, perBuild, perRow);
  }
  std::printf("per-row cost, 10000 rows against 100 rows: %.2f\n", largePerRow / smallPerRow);
  return 0;
}
