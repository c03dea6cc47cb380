// The tray's mouse rules, tooltip text and icon order as plain functions.
#include "tray/TrayNotify.h"

#include <algorithm>

#include "runtime/Menus.h"

namespace {

enum : unsigned {
  kMouseMove = 0x0200,
  kLeftDown = 0x0201,
  kLeftUp = 0x0202,
  kLeftDblClk = 0x0203,
  kRightDown = 0x0204,
  kRightUp = 0x0205,
  kMiddleDown = 0x0207,
  kMiddleUp = 0x0208,
};

}  // namespace

void HandleTrayMouseMessage(unsigned MouseMessage, TTrayMouseState& State,
                            ITrayIconEvents& Events) {
  if (!State.Enabled) return;
  switch (MouseMessage) {
    case kMouseMove:
      Events.MouseMove();
      break;
    case kLeftDown:
      Events.MouseDown(TMouseButton::mbLeft);
      State.ClickPending = true;
      if (State.LeftPopup) Events.ShowPopupMenu();
      break;
    case kLeftUp:
      if (State.ClickPending) {
        State.ClickPending = false;
        Events.Click();
      }
      Events.MouseUp(TMouseButton::mbLeft);
      break;
    case kLeftDblClk:
      Events.DblClick();
      // The menu's default item stands for a double click, unless the left
      // button already opens the menu.
      if (State.PopupMenu && State.PopupMenu->AutoPopup && !State.LeftPopup) {
        if (TMenuItem* item = State.PopupMenu->DefaultItem()) item->Click();
      }
      break;
    case kRightDown:
      Events.MouseDown(TMouseButton::mbRight);
      Events.ShowPopupMenu();
      break;
    case kRightUp:
      Events.MouseUp(TMouseButton::mbRight);
      break;
    case kMiddleDown:
      Events.MouseDown(TMouseButton::mbMiddle);
      break;
    case kMiddleUp:
      Events.MouseUp(TMouseButton::mbMiddle);
      break;
    default:
      break;
  }
}

std::wstring TrayTip(const std::wstring& Hint, bool ShowHint) {
  if (!ShowHint || Hint.empty()) return {};
  return Hint.substr(0, kTrayTipLength);
}

int ClampIconIndex(int Index, int Count) {
  if (Count <= 0) return 0;
  return std::clamp(Index, 0, Count - 1);
}

int NextCycleIndex(int Index, int Count) {
  return Index < Count - 1 ? Index + 1 : 0;
}
