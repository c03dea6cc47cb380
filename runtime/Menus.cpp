// The menu item tree: adding, freeing, clicking and finding the default item.
#include "runtime/Menus.h"

#include <algorithm>

TMenuItem::~TMenuItem() {
  auto items = std::move(items_);
  for (auto it = items.rbegin(); it != items.rend(); ++it) delete *it;
  if (parent_) std::erase(parent_->items_, this);
}

void TMenuItem::Add(TMenuItem* Item) {
  if (!Item || Item->parent_ == this) return;
  if (Item->parent_) std::erase(Item->parent_->items_, Item);
  items_.push_back(Item);
  Item->parent_ = this;
}

void TMenuItem::Click() {
  if (Enabled && OnClick) OnClick(this);
}

namespace {

TMenuItem* FindDefault(const TMenuItem* item) {
  for (int i = 0; i < item->Count(); ++i) {
    TMenuItem* child = item->Items(i);
    if (child->Default) return child;
    if (TMenuItem* nested = FindDefault(child)) return nested;
  }
  return nullptr;
}

}  // namespace

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner), items_(new TMenuItem(this)) {}

TMenuItem* TPopupMenu::DefaultItem() const {
  return FindDefault(items_);
}
