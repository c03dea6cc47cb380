// How the thread that waits for a report tells a slow report from one that
// will never end: every stage marks its progress, and a report that made none
// for a fixed bound is given up. Time a person spends looking at one of the
// report's windows (the exception dialog, the request dialog, a filter's
// message) is not counted: such a step pauses the clock while it waits.
#pragma once

#include <atomic>
#include <cstdint>

// Long enough for the slowest step that works (a first report, a mail
// exchanger that answers late), short enough that nobody waits for ever.
constexpr std::uint64_t kReportProgressBoundMs = 20000;

class TReportProgress {
 public:
  // A report begins, or a step of it was reached (times in milliseconds).
  void Mark(std::uint64_t now) { FLastMark.store(now); }
  // A person is looking at a window of the report; pauses nest.
  void Pause() { FPauses.fetch_add(1); }
  void Resume(std::uint64_t now);
  bool Paused() const { return FPauses.load() > 0; }
  // No mark for longer than the bound, and nobody looking.
  bool Stalled(std::uint64_t now, std::uint64_t bound) const;

 private:
  std::atomic<std::uint64_t> FLastMark{0};
  std::atomic<int> FPauses{0};
};

// The report clock of this process (Windows). Any step may mark progress; a
// step that waits for a person holds a TVexlorReportPause while it waits.
TReportProgress& ReportProgress();
void MarkReportProgress();

class TVexlorReportPause {
 public:
  TVexlorReportPause();
  ~TVexlorReportPause();
  TVexlorReportPause(const TVexlorReportPause&) = delete;
  TVexlorReportPause& operator=(const TVexlorReportPause&) = delete;
};

// The bound in force (kReportProgressBoundMs unless a test set another).
std::uint64_t ReportProgressBound();
void SetReportProgressBound(std::uint64_t milliseconds);
