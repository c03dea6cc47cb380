// The progress clock: pausing for a person, and the stall test against a bound.
#include "reporter/pipeline/ReportProgress.h"

void TReportProgress::Resume(std::uint64_t now) {
  // The time spent looking does not count against the steps after it.
  FLastMark.store(now);
  if (FPauses.fetch_sub(1) <= 0) FPauses.store(0);
}

bool TReportProgress::Stalled(std::uint64_t now, std::uint64_t bound) const {
  if (Paused()) return false;
  const std::uint64_t last = FLastMark.load();
  return now > last && now - last > bound;
}
