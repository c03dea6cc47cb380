// Prints how long "vexlor attach" takes on a large executable and how long the
// run-time lookup takes to resolve 64 code addresses of it, with the memory
// the lookup needs beyond the debug data.
//
// usage: debugdata_bench [EXE-with-DWARF]   (default: the lookup test's first
// link, build/windows/tests/reporter/capture/debuglookup_tests.exe.dwarf)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "reporter/debugdata/AddressLookup.h"
#include "reporter/debugdata/DebugData.h"
#include "reporter/debugdata/ReporterData.h"
#include "tools/vexlor/AttachOptions.h"
#include "tools/vexlor/ToolModule.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string source =
      argc > 1 ? argv[1] : "build/windows/tests/reporter/capture/debuglookup_tests.exe.dwarf";
  std::error_code code;
  const auto size = std::filesystem::file_size(source, code);
  if (code) {
    std::fprintf(stderr, "debugdata_bench: %s: %s\n", source.c_str(), code.message().c_str());
    return 1;
  }
  const std::string copy =
      (std::filesystem::temp_directory_path() / "debugdata_bench.exe").string();
  std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing);

  // The attach step as the tool does it: DWARF to debug data, file tail.
  auto start = Clock::now();
  TReporterData data;
  data.Version = kVexlorDataVersion;
  data.Stamp = CurrentDayStamp();
  std::string error;
  if (!BuildOptionsStream("", data.Options, error) ||
      !BuildDebugData(copy, data.DebugData, error)) {
    std::fprintf(stderr, "debugdata_bench: %s\n", error.c_str());
    return 1;
  }
  const std::vector<std::uint8_t> tail = BuildReporterFileTail(data);
  std::ofstream(copy, std::ios::binary | std::ios::app)
      .write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
  const double attachMs = Milliseconds(start);

  TToolModule module;
  if (!LoadToolModule(copy, module, error)) {
    std::fprintf(stderr, "debugdata_bench: %s\n", error.c_str());
    return 1;
  }
  // 64 addresses spread evenly over the described code, the last unit too.
  std::uint64_t low = UINT64_MAX, high = 0;
  ForEachDebugUnit(module.Info.DebugData.data(), module.Info.DebugData.size(),
                   module.Info.DebugVersion, [&](const TDebugUnit& unit) {
                     low = std::min<std::uint64_t>(low, unit.Offset);
                     high = std::max<std::uint64_t>(high, unit.Offset + unit.CodeSize);
                     return true;
                   });
  const std::uint64_t base = module.Info.Handle + kCodeOffsetBase;
  std::vector<std::uintptr_t> addresses;
  for (int i = 0; i < 64; ++i) addresses.push_back(base + low + (high - low - 1) * i / 63);

  const long rssBefore = PeakKilobytes();
  int found = 0;
  constexpr int kRounds = 20;
  start = Clock::now();
  for (int round = 0; round < kRounds; ++round)
    for (std::uintptr_t address : addresses)
      found += ResolveInModule(&module.Info, address).Kind == dikSourceLine;
  const double resolveMs = Milliseconds(start) / kRounds;
  const long rssGrowth = PeakKilobytes() - rssBefore;
  // The same lookups scanning every unit header, as without the index.
  TVexlorModuleInfo scanning = module.Info;
  scanning.DebugUnitIndex.clear();
  start = Clock::now();
  for (int round = 0; round < kRounds; ++round)
    for (std::uintptr_t address : addresses) ResolveInModule(&scanning, address);
  const double scanMs = Milliseconds(start) / kRounds;

  std::printf("executable            %s (%.1f MB)\n", source.c_str(), size / 1048576.0);
  std::printf("debug data            %zu bytes (%zu in the file tail)\n",
              module.Info.DebugData.size(), tail.size());
  std::printf("attach                %.0f ms\n", attachMs);
  std::printf("resolve 64 addresses  %.3f ms (mean of %d rounds; %d of 64 to a source line)\n",
              resolveMs, kRounds, found / kRounds);
  std::printf("resolve 64, no index   %.3f ms (unit headers scanned on every lookup)\n", scanMs);
  std::printf(
      "lookup memory         debug data %.2f MB + unit index %.2f MB + peak growth %ld KB\n",
      module.Info.DebugData.size() / 1048576.0,
      module.Info.DebugUnitIndex.size() * sizeof(TDebugUnitIndexEntry) / 1048576.0, rssGrowth);
  std::filesystem::remove(copy);
  return 0;
}
