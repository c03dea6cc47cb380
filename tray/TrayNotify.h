// What the tray icon does with the shell's mouse notifications, its tooltip
// and its animation order: plain logic behind a small events interface, so
// the Win32 component (CoolTrayIcon) stays a thin shell around it.
#pragma once

#include <string>

class TPopupMenu;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// The component's overridable event firing, as the notification logic uses it.
class ITrayIconEvents {
 public:
  virtual ~ITrayIconEvents() = default;
  virtual void Click() = 0;
  virtual void DblClick() = 0;
  virtual void MouseDown(TMouseButton Button) = 0;
  virtual void MouseUp(TMouseButton Button) = 0;
  virtual void MouseMove() = 0;
  virtual void ShowPopupMenu() = 0;
};

struct TTrayMouseState {
  bool Enabled = true;
  bool LeftPopup = false;
  // Set by a left press, consumed by the next left release.
  bool ClickPending = false;
  TPopupMenu* PopupMenu = nullptr;
};

// MouseMessage is the mouse message the shell put in the notification's
// second parameter (WM_MOUSEMOVE ... WM_MBUTTONUP).
void HandleTrayMouseMessage(unsigned MouseMessage, TTrayMouseState& State, ITrayIconEvents& Events);

// Characters of the hint that reach the shell's tooltip.
constexpr size_t kTrayTipLength = 127;
// The tooltip for a hint: empty when hints are off or the hint is empty.
std::wstring TrayTip(const std::wstring& Hint, bool ShowHint);

// Index into an image list of Count images: clamped to Count - 1, and 0
// without images.
int ClampIconIndex(int Index, int Count);
// The image after Index when cycling: wraps to 0 after the last one.
int NextCycleIndex(int Index, int Count);
