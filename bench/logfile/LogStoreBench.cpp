// Prints how long storing a report takes when the log is full: the 100th
// report into a log that keeps 100 (the file read, the oldest dropped, the
// whole file written under the lock), and the 101st, which also trims.
// Goal: at most 20 ms. Reports are 13.6 KB, the size of the player's own
// access-violation report. Runs natively and under Wine:
//   build/native-release/bench/logfile_bench
//   tests/harness/wine-run build/windows/bench/logfile_bench.exe
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "reporter/logfile/LogFileStore.h"

namespace {

class TNoHandlers : public TLogStoreEvents {
 public:
  void ActionNotify(TVexlorAction, bool&) override {}
  void ErrorNotify(TVexlorAction, bool&) override {}
};

std::string Report(int number) {
  std::string text =
      "VexlorLog 4.5.8\r\n\r\nException:\r\n----\r\n  2.2 Address: " + std::to_string(number) +
      "\r\n";
  while (text.size() < 13600)
    text += "|0000000140006AA0|KiravaneVP.exe|Main.cpp|TfrmVPMain|Tick|186|\r\n";
  return text;
}

double StoreMs(TVexlorLogStore& store, const TLogStoreRequest& request, int number) {
  TNoHandlers events;
  std::string text = Report(number);
  std::string logText = text;
  const auto start = std::chrono::steady_clock::now();
  store.Store(request, {text, logText}, events);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / "vexlor-logfile-bench.vlf";
  TLogStoreRequest request;
  request.FileName = file.string();
  request.Maximum = 100;
  std::vector<double> hundredth;
  std::vector<double> trimming;
  for (int round = 0; round < 15; ++round) {
    std::filesystem::remove(file);
    TVexlorLogStore store;
    for (int i = 1; i < 100; ++i) StoreMs(store, request, i);
    hundredth.push_back(StoreMs(store, request, 100));
    trimming.push_back(StoreMs(store, request, 101));
  }
  std::printf("log of 100 reports: %.1f MB\n",
              static_cast<double>(std::filesystem::file_size(file)) / (1024 * 1024));
  std::printf("storing the 100th report: median %.2f ms, worst %.2f ms (goal 20 ms)\n",
              Median(hundredth), *std::max_element(hundredth.begin(), hundredth.end()));
  std::printf("storing the 101st (oldest dropped): median %.2f ms, worst %.2f ms\n",
              Median(trimming), *std::max_element(trimming.begin(), trimming.end()));
  std::filesystem::remove(file);
  return 0;
}
