// The Run key under HKEY_LOCAL_MACHINE and the running executable's version
// resource; a registry that refuses the entry is told to the operator in a box.
#include "app/Autorun.h"

#include <windows.h>

#include <vector>

#include "app/VersionText.h"
#include "runtime/Forms.h"
#include "runtime/Registry.h"

namespace {

const wchar_t kRunKey[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kValueName[] = L"kiravaneVP";

void ShowMessage(const std::wstring& text) {
  Application->MessageBox(text, Application->Title(), MB_OK);
}

}  // namespace

std::wstring ExePath() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) return std::wstring(path.data(), n);
    path.resize(path.size() * 2);
  }
}

bool IsAutorunEnabled() {
  TRegistry reg(KEY_READ);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (!reg.OpenKeyReadOnly(kRunKey)) return false;
  return reg.ValueExists(kValueName);
}

void SetAutorun(bool Enabled) {
  TRegistry reg(KEY_ALL_ACCESS);
  reg.RootKey = HKEY_LOCAL_MACHINE;
  if (Enabled) {
    if (!reg.OpenKey(kRunKey, true)) {
      ShowMessage(L"Невозможно открыть ключ в реестре");
      return;
    }
    try {
      reg.WriteString(kValueName, ExePath());
    } catch (const ERegistryException&) {
      ShowMessage(L"Невозможно сделать запись в реестре");
    }
  } else if (reg.OpenKey(kRunKey, false)) {
    reg.DeleteValue(kValueName);
  }
}

std::wstring GetVersionText() {
  std::wstring path = ExePath();
  DWORD ignored = 0;
  // Sized from the resource itself: a fixed buffer would cut a larger one.
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return L"неизвестна";
  std::vector<unsigned char> buffer(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoW(path.c_str(), 0, size, buffer.data()) ||
      !VerQueryValueW(buffer.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO))
    return L"неизвестна";
  return FormatVersionText(info->dwFileVersionMS, info->dwFileVersionLS);
}
