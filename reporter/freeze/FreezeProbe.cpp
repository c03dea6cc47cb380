// The probe's count: an unanswered probe adds at least its own wait, and each
// full time-out makes one report and starts the count anew.
#include "reporter/freeze/FreezeProbe.h"

#include <algorithm>

std::uint64_t FreezeTimeoutMs(std::int32_t timeoutSeconds) {
  return static_cast<std::uint64_t>(std::max<std::int32_t>(timeoutSeconds, 1)) * 1000;
}

TFreezeStep TFreezeProbe::Probed(bool answered, std::uint64_t elapsedMs) {
  if (answered) {
    unansweredMs_ = 0;
    return TFreezeStep::Rest;
  }
  unansweredMs_ += std::max<std::uint64_t>(elapsedMs, kProbeWaitMs);
  if (unansweredMs_ < timeoutMs_) return TFreezeStep::ProbeAgain;
  unansweredMs_ = 0;
  return TFreezeStep::Report;
}
