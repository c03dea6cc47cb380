// The cost of a trace call while tracing is off, against an empty loop with
// the same parameters built. Prints nanoseconds per call and the ratio; both
// loops run in one process, so the ratio holds on a busy machine.
#include <chrono>
#include <cstdio>

#include "reporter/config/Trace.h"

namespace {

volatile int sink = 0;

__attribute__((noinline)) void Baseline(int i, const char* text) {
  sink = sink + i + (text != nullptr);
}

template <class F>
double NanosPerCall(F body, int count) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) body(i);
  std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / count;
}

}  // namespace

int main() {
  constexpr int kCalls = 20'000'000;
  SetTraceEnabled(false);
  double baseline = NanosPerCall([](int i) { Baseline(i, "TVexlorModuleOptions"); }, kCalls);
  double off = NanosPerCall(
      [](int i) {
        TraceEnter("TVexlorModuleOptions.OutputFile", {i, "C:\\App\\player.exe"});
        Baseline(i, nullptr);
      },
      kCalls);
  std::printf("trace off: %.2f ns/call, baseline %.2f ns/call, ratio %.2f\n", off, baseline,
              off / baseline);
  return 0;
}
