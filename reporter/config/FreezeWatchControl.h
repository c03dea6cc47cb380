// Starting and stopping the freeze watcher, as the options ask. The freeze
// detection installs its control at reporter start-up; until then no watcher
// exists and both calls do nothing.
#pragma once

class TFreezeWatchControl {
 public:
  virtual ~TFreezeWatchControl() = default;
  // Starts the watcher unless one runs (or freeze detection is off).
  virtual void Start() = 0;
  // Stops a running watcher and waits for it.
  virtual void Stop() = 0;
};

// Null removes the control. The control must outlive its installation.
void SetFreezeWatchControl(TFreezeWatchControl* control);
void FreezeWatchStart();
void FreezeWatchStop();
