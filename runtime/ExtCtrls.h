// The timer component: OnTimer runs on the main thread from the message loop.
#pragma once

#include <memory>

#include "runtime/Classes.h"

class TUtilWindow;

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned Value);
  TNotifyEvent OnTimer;

 private:
  void Update();
  bool enabled_ = true;
  unsigned interval_ = 1000;
  std::unique_ptr<TUtilWindow> window_;
};
