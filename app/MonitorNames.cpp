// Monitor lines numbered from one, the primary monitor marked as such.
#include "app/MonitorNames.h"

std::wstring MonitorName(int Index, bool Primary) {
  return L"Монитор " + std::to_wstring(Index + 1) + (Primary ? L" (основной)" : L"");
}

std::vector<std::wstring> MonitorNames(const std::vector<bool>& PrimaryFlags) {
  std::vector<std::wstring> names;
  for (size_t i = 0; i < PrimaryFlags.size(); ++i)
    names.push_back(MonitorName(static_cast<int>(i), PrimaryFlags[i]));
  return names;
}
