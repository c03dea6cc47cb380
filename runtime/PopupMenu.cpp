// Showing a pop-up menu: the item tree becomes a Win32 menu for the time the
// menu is open, and the chosen item's click runs after it has closed.
#include <windows.h>

#include <vector>

#include "runtime/Forms.h"
#include "runtime/Menus.h"

namespace {

void Build(HMENU menu, const TMenuItem* parent, std::vector<TMenuItem*>& byId) {
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* item = parent->Items(i);
    if (item->IsLine()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING | (item->Enabled ? 0 : MF_GRAYED);
    if (item->Count() > 0) {
      HMENU sub = CreatePopupMenu();
      Build(sub, item, byId);
      AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item->Caption.c_str());
      continue;
    }
    byId.push_back(item);
    UINT id = static_cast<UINT>(byId.size());
    AppendMenuW(menu, flags, id, item->Caption.c_str());
    if (item->Default) SetMenuDefaultItem(menu, id, FALSE);
  }
}

}  // namespace

void TPopupMenu::Popup(int X, int Y) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  std::vector<TMenuItem*> byId;
  Build(menu, items_, byId);
  // The menu needs a window of this thread; the foreground one is ours when
  // the caller brought its window forward first.
  HWND owner = GetForegroundWindow();
  if (!owner || GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId())
    owner = Application ? Application->Handle() : nullptr;
  UINT chosen =
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, X, Y, 0, owner, nullptr);
  DestroyMenu(menu);
  if (chosen > 0 && chosen <= byId.size()) byId[chosen - 1]->Click();
}
