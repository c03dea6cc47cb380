// Hosting an ActiveX control in a child window: a small OLE container (client
// site, in-place site and frame) and an event sink for the control's
// outgoing dispatch interface.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <ole2.h>

#include <functional>
#include <memory>

#include "runtime/ComObj.h"
#include "runtime/Controls.h"

class TOleSite;
class TOleEventSink;

using TOleEventHandler = std::function<void(DISPID DispId, DISPPARAMS* Params)>;

class TOleControl : public TWinControl {
 public:
  // Creates the control and activates it in place in a child window of
  // AParent. Raises EOleException when the control cannot be created.
  TOleControl(TComponent* AOwner, TWinControl* AParent, const CLSID& ClassId);
  ~TOleControl() override;

  IUnknown* ControlUnknown() const { return oleObject_.Get(); }
  template <class I>
  TComPtr<I> Interface() const {
    return oleObject_.template As<I>();
  }
  // Connects Handler to the control's outgoing interface EventsIid.
  void ConnectEvents(const IID& EventsIid, TOleEventHandler Handler);

 protected:
  LRESULT WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void UpdateObjectRects();

  // Declared before the control so that they outlive its last reference.
  std::unique_ptr<TOleSite> site_;
  std::unique_ptr<TOleEventSink> sink_;
  TComPtr<IOleObject> oleObject_;
  TComPtr<IConnectionPoint> connection_;
  DWORD cookie_ = 0;
};
