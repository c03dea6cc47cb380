// The timer on SetTimer with the hidden utility window as its target, set
// again whenever its interval or state changes.
#include "runtime/ExtCtrls.h"

#include "runtime/Forms.h"
#include "runtime/UtilWindow.h"

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  window_ = std::make_unique<TUtilWindow>(L"TTimerWindow", [this](UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER) {
      if (OnTimer) OnTimer(this);
      return LRESULT{0};
    }
    return DefWindowProcW(window_->Handle(), msg, wp, lp);
  });
  Update();
}

TTimer::~TTimer() {
  if (window_ && window_->Handle()) KillTimer(window_->Handle(), 1);
}

void TTimer::SetEnabled(bool Value) {
  if (Value == enabled_) return;
  enabled_ = Value;
  Update();
}

void TTimer::SetInterval(unsigned Value) {
  if (Value == interval_) return;
  interval_ = Value;
  Update();
}

void TTimer::Update() {
  if (!window_ || !window_->Handle()) return;
  KillTimer(window_->Handle(), 1);
  if (enabled_ && interval_ > 0) SetTimer(window_->Handle(), 1, interval_, nullptr);
}
