// The standard controls of the settings window: panel, button, edit, label,
// check box and drop-down list.
#pragma once

#include <string>

#include "runtime/Controls.h"

class TPanel : public TWinControl {
 public:
  TPanel(TComponent* AOwner, TWinControl* AParent, int X, int Y, int W, int H);

 protected:
  LRESULT WndProc(UINT Msg, WPARAM wParam, LPARAM lParam) override;
};

class TButton : public TWinControl {
 public:
  TButton(TComponent* AOwner, TWinControl* AParent, const std::wstring& Caption, int X, int Y,
          int W, int H);
  TNotifyEvent OnClick;
  virtual void Click();
  void CommandNotify(WORD Code) override;
};

class TEdit : public TWinControl {
 public:
  TEdit(TComponent* AOwner, TWinControl* AParent, int X, int Y, int W, int H);
};

class TLabel : public TWinControl {
 public:
  TLabel(TComponent* AOwner, TWinControl* AParent, const std::wstring& Caption, int X, int Y, int W,
         int H);
  void SetCaption(const std::wstring& Value) { SetText(Value); }
};

class TCheckBox : public TWinControl {
 public:
  TCheckBox(TComponent* AOwner, TWinControl* AParent, const std::wstring& Caption, int X, int Y,
            int W, int H);
  bool Checked() const;
  // A change made from code runs the click handler as a user's click would.
  void SetChecked(bool Value);
  TNotifyEvent OnClick;
  void CommandNotify(WORD Code) override;
};

// A drop-down list that cannot be typed into.
class TComboBox : public TWinControl {
 public:
  TComboBox(TComponent* AOwner, TWinControl* AParent, int X, int Y, int W, int H);
  void AddItem(const std::wstring& Item);
  void ClearItems();
  int ItemCount() const;
  std::wstring Item(int Index) const;
  int ItemIndex() const;
  // An index outside the list leaves no item selected.
  void SetItemIndex(int Index);
  TNotifyEvent OnChange;
  void CommandNotify(WORD Code) override;
};
