// Menu items and the pop-up menu. The item tree is portable; showing the menu
// (TPopupMenu::Popup) is Win32 and lives in PopupMenu.cpp.
#pragma once

#include <string>
#include <vector>

#include "runtime/Classes.h"

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}
  ~TMenuItem() override;

  std::wstring Caption;
  bool Default = false;
  bool Enabled = true;
  TNotifyEvent OnClick;

  // Items added here are freed with this item; an item freed first by its
  // owner leaves the tree.
  void Add(TMenuItem* Item);
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(index); }
  TMenuItem* Parent() const { return parent_; }
  bool IsLine() const { return Caption == L"-"; }

  virtual void Click();

 private:
  TMenuItem* parent_ = nullptr;
  std::vector<TMenuItem*> items_;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* AOwner);

  TMenuItem* Items() const { return items_; }
  // The first item in menu order whose default mark is set, or null.
  TMenuItem* DefaultItem() const;

  bool AutoPopup = true;
  // Set by whoever opens the menu, so handlers can tell who asked.
  TComponent* PopupComponent = nullptr;

  // Opens the menu at screen coordinates and runs the chosen item's click.
  void Popup(int X, int Y);

 private:
  TMenuItem* items_;
};
