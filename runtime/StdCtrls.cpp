// The standard controls: the panel a window class of its own, the rest the
// system's, each telling its events from the notifications its parent hands back.
#include "runtime/StdCtrls.h"

#include <commctrl.h>

#include "runtime/UtilWindow.h"

TPanel::TPanel(TComponent* AOwner, TWinControl* AParent, int X, int Y, int W, int H)
    : TWinControl(AOwner) {
  EnsureWindowClass(L"TPanel", &TWinControl::ContainerProc, CS_HREDRAW | CS_VREDRAW, nullptr,
                    GetSysColorBrush(COLOR_BTNFACE));
  CreateHandle(L"TPanel", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, X, Y,
               W, H, AParent);
}

LRESULT TPanel::WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (Msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    RECT r;
    GetClientRect(Handle(), &r);
    DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    EndPaint(Handle(), &ps);
    return 0;
  }
  return TWinControl::WndProc(Msg, wParam, lParam);
}

TButton::TButton(TComponent* AOwner, TWinControl* AParent, const std::wstring& Caption, int X,
                 int Y, int W, int H)
    : TWinControl(AOwner) {
  CreateHandle(L"BUTTON", Caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, X, Y, W,
               H, AParent);
}

void TButton::Click() {
  if (OnClick) OnClick(this);
}

void TButton::CommandNotify(WORD Code) {
  if (Code == BN_CLICKED) Click();
}

TEdit::TEdit(TComponent* AOwner, TWinControl* AParent, int X, int Y, int W, int H)
    : TWinControl(AOwner) {
  CreateHandle(L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
               X, Y, W, H, AParent);
}

TLabel::TLabel(TComponent* AOwner, TWinControl* AParent, const std::wstring& Caption, int X, int Y,
               int W, int H)
    : TWinControl(AOwner) {
  CreateHandle(L"STATIC", Caption, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, X, Y, W, H,
               AParent);
}

TCheckBox::TCheckBox(TComponent* AOwner, TWinControl* AParent, const std::wstring& Caption, int X,
                     int Y, int W, int H)
    : TWinControl(AOwner) {
  CreateHandle(L"BUTTON", Caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, X, Y, W,
               H, AParent);
}

bool TCheckBox::Checked() const {
  return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool Value) {
  if (Value == Checked()) return;
  SendMessageW(Handle(), BM_SETCHECK, Value ? BST_CHECKED : BST_UNCHECKED, 0);
  if (OnClick) OnClick(this);
}

void TCheckBox::CommandNotify(WORD Code) {
  if (Code == BN_CLICKED && OnClick) OnClick(this);
}

TComboBox::TComboBox(TComponent* AOwner, TWinControl* AParent, int X, int Y, int W, int H)
    : TWinControl(AOwner) {
  // H is the height of the closed box; the list drops below it.
  CreateHandle(L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
               0, X, Y, W, H + 200, AParent);
}

void TComboBox::AddItem(const std::wstring& Item) {
  SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Item.c_str()));
}

void TComboBox::ClearItems() {
  SendMessageW(Handle(), CB_RESETCONTENT, 0, 0);
}

int TComboBox::ItemCount() const {
  return static_cast<int>(SendMessageW(Handle(), CB_GETCOUNT, 0, 0));
}

std::wstring TComboBox::Item(int Index) const {
  LRESULT length = SendMessageW(Handle(), CB_GETLBTEXTLEN, Index, 0);
  if (length == CB_ERR) return L"";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(Handle(), CB_GETLBTEXT, Index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

int TComboBox::ItemIndex() const {
  LRESULT index = SendMessageW(Handle(), CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? -1 : static_cast<int>(index);
}

void TComboBox::SetItemIndex(int Index) {
  if (Index < 0 || Index >= ItemCount()) Index = -1;
  SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(Index), 0);
}

void TComboBox::CommandNotify(WORD Code) {
  if (Code == CBN_SELCHANGE && OnChange) OnChange(this);
}
