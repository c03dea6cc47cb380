// TFreezeThread: the watcher of the main thread. It finds the window the
// main thread's message loop serves, probes it with a null message, and when
// the window has not answered for the time-out, reports an
// EFrozenApplication with the main thread's registers and stack, once per
// time-out for as long as the freeze lasts.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "runtime/Thread.h"

struct TFreezeSettings {
  std::int32_t TimeoutSeconds = 60;
  std::string Message;
};

class TFreezeThread : public TThread {
 public:
  // Created suspended; Start runs it.
  explicit TFreezeThread(TFreezeSettings settings);
  ~TFreezeThread() override;

  // Asks the watcher to end; it notices within one probe or rest step (a
  // report under way is finished first).
  void RequestStop();
  // In a library the watcher is ended from outside (see TFreezeWatch): once
  // asked to stop it parks at a point where it holds nothing and signals
  // this event, instead of ending on its own.
  void ParkWhenStopped(bool park) { park_ = park; }
  HANDLE ParkedEvent() const { return parked_; }

  // The window found to probe (null while searching).
  HWND Window() const { return window_.load(); }
  // Probes sent so far.
  std::uint64_t ProbeCount() const { return probes_.load(); }

 protected:
  void Execute() override;

 private:
  // Waits up to ms; false when a stop was asked for.
  bool Rest(DWORD ms);
  bool Stopping() const { return Terminated(); }
  HWND SearchWindow();
  void WatchWindow(HWND window);
  void ReportFreeze();

  TFreezeSettings settings_;
  HANDLE stop_;
  HANDLE parked_;
  std::atomic<bool> park_{false};
  std::atomic<HWND> window_{nullptr};
  std::atomic<std::uint64_t> probes_{0};
};
