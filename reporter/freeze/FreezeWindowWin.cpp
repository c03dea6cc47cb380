// The process's top-level windows collected with EnumWindows, with the facts
// the portable choice needs.
#include "reporter/freeze/FreezeWindowWin.h"

#include <vector>

#include "reporter/freeze/FreezeWindow.h"

namespace {

struct TSearch {
  DWORD ProcessID;
  DWORD MainThreadID;
  std::vector<HWND> Windows;
  std::vector<TFreezeWindowFacts> Facts;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<TSearch*>(parameter);
  DWORD processID = 0;
  const DWORD threadID = GetWindowThreadProcessId(window, &processID);
  if (processID != search.ProcessID) return TRUE;
  const HWND owner = GetWindow(window, GW_OWNER);
  TFreezeWindowFacts facts;
  facts.Visible = IsWindowVisible(window) != FALSE;
  facts.Owned = owner != nullptr && owner != GetDesktopWindow();
  facts.ExStyle = static_cast<std::uint32_t>(GetWindowLongPtrA(window, GWL_EXSTYLE));
  facts.OfMainThread = threadID == search.MainThreadID;
  search.Windows.push_back(window);
  search.Facts.push_back(facts);
  return TRUE;
}

}  // namespace

HWND FindFreezeWindow(DWORD mainThreadID) {
  TSearch search{GetCurrentProcessId(), mainThreadID, {}, {}};
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
  const std::optional<std::size_t> chosen = ChooseFreezeWindow(search.Facts);
  return chosen ? search.Windows[*chosen] : nullptr;
}
