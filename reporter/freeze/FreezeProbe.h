// The freeze watcher's counting: how long the probed window has left its
// null messages unanswered, and when that makes a freeze report. Portable;
// the watcher thread feeds it the outcome of each probe.
#pragma once

#include <cstdint>

// A probe waits this long for the answer; an answered probe is followed by
// kRestRounds rests of kRestMs before the next one.
constexpr std::uint32_t kProbeWaitMs = 50;
constexpr std::uint32_t kRestMs = 50;
constexpr int kRestRounds = 5;

// The FreezeTimeout option in milliseconds. Below one second it acts as one
// second: with 0 every answered probe cycle would end in a report.
std::uint64_t FreezeTimeoutMs(std::int32_t timeoutSeconds);

enum class TFreezeStep {
  ProbeAgain,  // unanswered, below the time-out: probe at once
  Rest,        // answered (or the window is gone): rest, then probe
  Report       // unanswered for the time-out: report, then start counting anew
};

class TFreezeProbe {
 public:
  explicit TFreezeProbe(std::int32_t timeoutSeconds)
      : timeoutMs_(FreezeTimeoutMs(timeoutSeconds)) {}

  // One probe's outcome. A failed probe counts the time it took, and at least
  // the time it was allowed to wait.
  TFreezeStep Probed(bool answered, std::uint64_t elapsedMs);

  std::uint64_t UnansweredMs() const { return unansweredMs_; }
  std::uint64_t TimeoutMs() const { return timeoutMs_; }

 private:
  std::uint64_t timeoutMs_;
  std::uint64_t unansweredMs_ = 0;
};
