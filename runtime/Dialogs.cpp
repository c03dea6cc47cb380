// The file-open dialog through GetOpenFileNameW, the "|"-separated filter
// turned into the system's double-zero list.
#include "runtime/Dialogs.h"

#include <commdlg.h>

#include <vector>

std::wstring FilterToSystem(const std::wstring& Filter) {
  std::wstring result = Filter;
  for (wchar_t& c : result)
    if (c == L'|') c = L'\0';
  result.push_back(L'\0');
  result.push_back(L'\0');
  return result;
}

bool TOpenDialog::Execute(HWND Owner) {
  std::wstring filter = FilterToSystem(Filter);
  // Long paths and multi-byte names fit; the dialog cuts nothing silently.
  std::vector<wchar_t> buffer(32768, L'\0');
  FileName.copy(buffer.data(), buffer.size() - 1);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = Owner;
  ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&ofn)) return false;
  FileName = buffer.data();
  return true;
}
