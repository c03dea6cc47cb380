// An application-wide filter that sees every message the message loop takes
// from the queue before it is dispatched.
#pragma once

#include <windows.h>

#include <functional>

#include "runtime/Classes.h"

class TApplicationEvents : public TComponent {
 public:
  explicit TApplicationEvents(TComponent* AOwner);
  ~TApplicationEvents() override;

  // Setting Handled stops the message: it is not dispatched.
  std::function<void(MSG& Msg, bool& Handled)> OnMessage;
};
