// The application-window test and the choice among the main thread's windows.
#include "reporter/freeze/FreezeWindow.h"

bool IsApplicationWindowStyle(bool visible, bool owned, std::uint32_t exStyle) {
  const bool toolWindow = (exStyle & kToolWindowStyle) && !(exStyle & kAppWindowStyle);
  return visible && !owned && !toolWindow;
}

std::optional<std::size_t> ChooseFreezeWindow(const std::vector<TFreezeWindowFacts>& windows) {
  std::optional<std::size_t> owned;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const TFreezeWindowFacts& window = windows[i];
    if (!window.OfMainThread) continue;
    if (IsApplicationWindowStyle(window.Visible, window.Owned, window.ExStyle)) return i;
    if (!owned && IsApplicationWindowStyle(window.Visible, false, window.ExStyle)) owned = i;
  }
  return owned;
}
