// The standard file-open dialog.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/Classes.h"

class TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}

  // Pairs of description and patterns, all separated by '|'.
  std::wstring Filter;
  std::wstring FileName;
  std::wstring Title;

  // True when the user confirmed a file; FileName then holds its full path.
  bool Execute(HWND Owner);
};

// "a|b|c|d" as the system wants it: NUL-separated, ending with two NULs.
std::wstring FilterToSystem(const std::wstring& Filter);
