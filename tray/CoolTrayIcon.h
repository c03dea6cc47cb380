// The notification-area icon: one icon with a hint, its pop-up menu, the
// menu's default item on a double click, icon cycling, minimising the
// application to the tray and putting the icon back after the taskbar is
// re-created.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

#include "runtime/ExtCtrls.h"
#include "runtime/Graphics.h"
#include "runtime/Menus.h"
#include "tray/TrayNotify.h"

class TUtilWindow;
class TWinControl;

// Shift, Alt and Ctrl as read from the keyboard, plus the button of the event.
enum TShiftFlag : unsigned {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
};
using TShiftState = unsigned;

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TCycleEvent = std::function<void(TObject* Sender, int NextIndex)>;

class TCoolTrayIcon : public TComponent, protected ITrayIconEvents {
 public:
  // The shell's callback message and the icon's id in it.
  static constexpr UINT WM_TRAYNOTIFY = 0x800;
  static constexpr UINT kIconId = 1;

  explicit TCoolTrayIcon(TComponent* AOwner);
  ~TCoolTrayIcon() override;

  bool DesignPreview() const { return designPreview_; }
  void SetDesignPreview(bool Value);
  TImageList* IconList() const { return iconList_; }
  void SetIconList(TImageList* Value);
  bool CycleIcons() const { return cycleIcons_; }
  void SetCycleIcons(bool Value);
  unsigned CycleInterval() const { return cycleTimer_->Interval(); }
  void SetCycleInterval(unsigned Value) { cycleTimer_->SetInterval(Value); }
  bool Enabled() const { return mouse_.Enabled; }
  void SetEnabled(bool Value) { mouse_.Enabled = Value; }
  const std::wstring& Hint() const { return hint_; }
  void SetHint(const std::wstring& Value);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool Value);
  const TIcon& Icon() const { return icon_; }
  // Copies the icon.
  void SetIcon(HICON Value);
  bool IconVisible() const { return iconVisible_; }
  void SetIconVisible(bool Value);
  int IconIndex() const { return iconIndex_; }
  void SetIconIndex(int Value);
  TPopupMenu* PopupMenu() const { return mouse_.PopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);
  bool LeftPopup() const { return mouse_.LeftPopup; }
  void SetLeftPopup(bool Value) { mouse_.LeftPopup = Value; }
  bool StartMinimized = false;
  bool MinimizeToTray = false;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TCycleEvent OnCycle;

  bool AddShellIcon();
  bool RemoveShellIcon();
  bool RefreshShellIcon();
  void ShowPopupMenu() override;
  void CycleTick(TObject* Sender);
  // For a component loaded with a form: start hidden when asked to.
  void Loaded();

  // The hidden window that receives the shell's notifications.
  HWND Handle() const;
  // The record as it was last handed to the shell.
  const NOTIFYICONDATAW& IconData() const { return iconData_; }

 protected:
  void Click() override;
  void DblClick() override;
  virtual void CycleIcon(int NextIndex);
  void MouseDown(TMouseButton Button) override;
  void MouseUp(TMouseButton Button) override;
  void MouseMove() override;
  virtual void MinimizeToTrayAction();
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  bool Notify(DWORD Message, bool ForPreview);
  void PrepareIconData();
  LRESULT HandleMessage(UINT Msg, WPARAM wParam, LPARAM lParam);
  TWinControl* OwnerControl() const;
  static LRESULT CALLBACK AppWindowHook(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  static LRESULT CALLBACK OwnerWindowHook(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

  NOTIFYICONDATAW iconData_{};
  std::unique_ptr<TUtilWindow> window_;
  TTimer* cycleTimer_ = nullptr;
  TIcon icon_;
  TImageList* iconList_ = nullptr;
  TTrayMouseState mouse_;
  std::wstring hint_;
  UINT taskbarCreated_ = 0;
  int iconIndex_ = 0;
  bool designPreview_ = false;
  bool cycleIcons_ = false;
  bool showHint_ = true;
  bool iconVisible_ = true;
  bool firstWindowPosChange_ = true;
  HWND hookedApp_ = nullptr;
  HWND hookedOwner_ = nullptr;
};
