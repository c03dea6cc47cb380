// The tray component on Win32: the shell icon record, its hidden window and
// subclass hooks, and the taskbar's re-creation message.
#include "tray/CoolTrayIcon.h"

#include <commctrl.h>

#include "runtime/Controls.h"
#include "runtime/Forms.h"
#include "runtime/UtilWindow.h"

namespace {

constexpr UINT_PTR kSubclassId = 0x54524159;  // one hook per component instance

TShiftState KeyboardShift() {
  TShiftState shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
  if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
  return shift;
}

TShiftState ButtonShift(TMouseButton button) {
  switch (button) {
    case TMouseButton::mbLeft:
      return ssLeft;
    case TMouseButton::mbRight:
      return ssRight;
    default:
      return ssMiddle;
  }
}

POINT Cursor() {
  POINT p{};
  GetCursorPos(&p);
  return p;
}

}  // namespace

TCoolTrayIcon::TCoolTrayIcon(TComponent* AOwner) : TComponent(AOwner) {
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  window_ = std::make_unique<TUtilWindow>(
      L"TCoolTrayIconWindow",
      [this](UINT msg, WPARAM wp, LPARAM lp) { return HandleMessage(msg, wp, lp); });
  // The 64-bit counterpart of the fixed-size record of the older shell
  // interface: no balloon or GUID fields, a 128-character tip.
  iconData_.cbSize = NOTIFYICONDATAW_V2_SIZE;
  iconData_.hWnd = window_->Handle();
  iconData_.uID = kIconId;
  iconData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  iconData_.uCallbackMessage = WM_TRAYNOTIFY;
  cycleTimer_ = new TTimer(this);
  cycleTimer_->SetEnabled(false);
  cycleTimer_->SetInterval(0);
  cycleTimer_->OnTimer = [this](TObject* sender) { CycleTick(sender); };
  if (Application && Application->Handle() &&
      SetWindowSubclass(Application->Handle(), AppWindowHook, kSubclassId,
                        reinterpret_cast<DWORD_PTR>(this)))
    hookedApp_ = Application->Handle();
  if (TWinControl* owner = OwnerControl()) {
    if (SetWindowSubclass(owner->Handle(), OwnerWindowHook, kSubclassId,
                          reinterpret_cast<DWORD_PTR>(this)))
      hookedOwner_ = owner->Handle();
  }
}

TCoolTrayIcon::~TCoolTrayIcon() {
  SetIconVisible(false);
  SetDesignPreview(false);
  icon_.SetHandle(nullptr);
  window_.reset();
  delete cycleTimer_;
  cycleTimer_ = nullptr;
  if (hookedApp_) RemoveWindowSubclass(hookedApp_, AppWindowHook, kSubclassId);
  if (hookedOwner_) RemoveWindowSubclass(hookedOwner_, OwnerWindowHook, kSubclassId);
  if (iconList_) iconList_->RemoveFreeNotification(this);
  if (mouse_.PopupMenu) mouse_.PopupMenu->RemoveFreeNotification(this);
}

HWND TCoolTrayIcon::Handle() const {
  return window_ ? window_->Handle() : nullptr;
}

TWinControl* TCoolTrayIcon::OwnerControl() const {
  return dynamic_cast<TWinControl*>(Owner());
}

void TCoolTrayIcon::Loaded() {
  TWinControl* owner = OwnerControl();
  if (owner && StartMinimized && Application) {
    Application->ShowMainForm = false;
    ShowWindow(Application->Handle(), SW_HIDE);
  }
  RefreshShellIcon();
  SetIconVisible(iconVisible_);
}

void TCoolTrayIcon::SetDesignPreview(bool Value) {
  designPreview_ = Value;
  Notify(Value ? NIM_ADD : NIM_DELETE, true);
}

void TCoolTrayIcon::SetIconList(TImageList* Value) {
  if (iconList_) iconList_->RemoveFreeNotification(this);
  iconList_ = Value;
  if (iconList_) iconList_->FreeNotification(this);
  SetIconIndex(iconIndex_);
}

void TCoolTrayIcon::SetCycleIcons(bool Value) {
  cycleIcons_ = Value;
  if (Value) SetIconIndex(0);
  cycleTimer_->SetEnabled(Value);
}

void TCoolTrayIcon::SetHint(const std::wstring& Value) {
  hint_ = Value;
  RefreshShellIcon();
}

void TCoolTrayIcon::SetShowHint(bool Value) {
  showHint_ = Value;
  RefreshShellIcon();
}

void TCoolTrayIcon::SetIcon(HICON Value) {
  icon_.Assign(Value);
  RefreshShellIcon();
}

void TCoolTrayIcon::SetIconVisible(bool Value) {
  if (Value)
    AddShellIcon();
  else
    RemoveShellIcon();
}

void TCoolTrayIcon::SetIconIndex(int Value) {
  int count = iconList_ ? iconList_->Count() : 0;
  iconIndex_ = iconList_ ? ClampIconIndex(Value, count) : 0;
  if (iconList_ && count > 0) iconList_->GetIcon(iconIndex_, icon_);
  RefreshShellIcon();
}

void TCoolTrayIcon::SetPopupMenu(TPopupMenu* Value) {
  if (mouse_.PopupMenu) mouse_.PopupMenu->RemoveFreeNotification(this);
  mouse_.PopupMenu = Value;
  if (Value) Value->FreeNotification(this);
}

void TCoolTrayIcon::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == iconList_) {
    iconList_ = nullptr;
    iconIndex_ = 0;
  }
  if (AComponent == mouse_.PopupMenu) mouse_.PopupMenu = nullptr;
}

void TCoolTrayIcon::PrepareIconData() {
  iconData_.hIcon = icon_.Handle();
  std::wstring tip = TrayTip(hint_, showHint_);
  std::fill(std::begin(iconData_.szTip), std::end(iconData_.szTip), L'\0');
  tip.copy(iconData_.szTip, kTrayTipLength);
}

bool TCoolTrayIcon::Notify(DWORD Message, bool ForPreview) {
  if (!ForPreview && Message != NIM_MODIFY) iconVisible_ = Message == NIM_ADD;
  PrepareIconData();
  return Shell_NotifyIconW(Message, &iconData_) != FALSE;
}

bool TCoolTrayIcon::AddShellIcon() {
  return Notify(NIM_ADD, false);
}
bool TCoolTrayIcon::RemoveShellIcon() {
  return Notify(NIM_DELETE, false);
}
bool TCoolTrayIcon::RefreshShellIcon() {
  return Notify(NIM_MODIFY, false);
}

void TCoolTrayIcon::ShowPopupMenu() {
  TPopupMenu* menu = mouse_.PopupMenu;
  POINT p;
  if (!menu || !menu->AutoPopup || !GetCursorPos(&p)) return;
  if (Application) Application->ProcessMessages();
  SetForegroundWindow(Handle());
  TWinControl* owner = OwnerControl();
  if (owner) SetForegroundWindow(owner->Handle());
  menu->PopupComponent = this;
  menu->Popup(p.x, p.y);
  // With the window forward and a null message after it, the menu closes
  // when the user clicks elsewhere.
  if (owner) PostMessageW(owner->Handle(), WM_NULL, 0, 0);
}

void TCoolTrayIcon::CycleTick(TObject*) {
  if (!iconList_) return;
  iconList_->GetIcon(iconIndex_, icon_);
  int next = NextCycleIndex(iconIndex_, iconList_->Count());
  CycleIcon(next);
  RefreshShellIcon();
  SetIconIndex(next);
}

void TCoolTrayIcon::Click() {
  if (OnClick) OnClick(this);
}

void TCoolTrayIcon::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TCoolTrayIcon::CycleIcon(int NextIndex) {
  if (OnCycle) OnCycle(this, NextIndex);
}

void TCoolTrayIcon::MouseDown(TMouseButton Button) {
  POINT p = Cursor();
  if (OnMouseDown) OnMouseDown(this, Button, KeyboardShift() | ButtonShift(Button), p.x, p.y);
}

void TCoolTrayIcon::MouseUp(TMouseButton Button) {
  POINT p = Cursor();
  if (OnMouseUp) OnMouseUp(this, Button, KeyboardShift() | ButtonShift(Button), p.x, p.y);
}

void TCoolTrayIcon::MouseMove() {
  POINT p = Cursor();
  if (OnMouseMove) OnMouseMove(this, KeyboardShift(), p.x, p.y);
}

void TCoolTrayIcon::MinimizeToTrayAction() {
  TWinControl* owner = OwnerControl();
  if (owner && Application && Application->MainForm()) {
    Application->MainForm()->Hide();
    ShowWindow(Application->Handle(), SW_HIDE);
  }
  SetIconVisible(true);
}

LRESULT TCoolTrayIcon::HandleMessage(UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (Msg == WM_TRAYNOTIFY) {
    HandleTrayMouseMessage(LOWORD(lParam), mouse_, *this);
    return 0;
  }
  if (Msg == WM_QUERYENDSESSION) return 1;
  return DefWindowProcW(Handle(), Msg, wParam, lParam);
}

LRESULT CALLBACK TCoolTrayIcon::AppWindowHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                              DWORD_PTR data) {
  auto* self = reinterpret_cast<TCoolTrayIcon*>(data);
  try {
    if (msg == WM_SIZE && wp == SIZE_MINIMIZED && self->MinimizeToTray) {
      self->MinimizeToTrayAction();
    } else if (msg == WM_WINDOWPOSCHANGED && self->firstWindowPosChange_ && Application &&
               Application->MainForm()) {
      // An MDI frame has no such start-up path here; the rule runs once.
      self->firstWindowPosChange_ = false;
    } else if (msg == self->taskbarCreated_ && self->iconVisible_) {
      self->AddShellIcon();
    }
  } catch (...) {
    if (Application) Application->HandleException(self);
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK TCoolTrayIcon::OwnerWindowHook(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                                DWORD_PTR) {
  if (msg == WM_SHOWWINDOW && wp != 0 && lp == 0 && Application) {
    ShowWindow(Application->Handle(), SW_RESTORE);
    SetForegroundWindow(Application->Handle());
    SetForegroundWindow(hwnd);
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}
