// Registry keys opened, created and read through the wide registry functions;
// a failed write raises ERegistryException.
#include "runtime/Registry.h"

#include "runtime/Forms.h"

namespace {

std::wstring Relative(const std::wstring& key) {
  size_t start = key.find_first_not_of(L'\\');
  return start == std::wstring::npos ? std::wstring() : key.substr(start);
}

}  // namespace

bool TRegistry::OpenKey(const std::wstring& Key, bool CanCreate) {
  CloseKey();
  std::wstring path = Relative(Key);
  LONG rc;
  if (CanCreate) {
    rc = RegCreateKeyExW(RootKey, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access_,
                         nullptr, &key_, nullptr);
  } else {
    rc = RegOpenKeyExW(RootKey, path.c_str(), 0, access_, &key_);
  }
  if (rc != ERROR_SUCCESS) key_ = nullptr;
  return key_ != nullptr;
}

bool TRegistry::OpenKeyReadOnly(const std::wstring& Key) {
  CloseKey();
  if (RegOpenKeyExW(RootKey, Relative(Key).c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS)
    key_ = nullptr;
  return key_ != nullptr;
}

void TRegistry::CloseKey() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

bool TRegistry::ValueExists(const std::wstring& Name) const {
  return key_ &&
         RegQueryValueExW(key_, Name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::wstring TRegistry::ReadString(const std::wstring& Name) const {
  DWORD type = 0, size = 0;
  if (!key_ ||
      RegQueryValueExW(key_, Name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return {};
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key_, Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                       &size) != ERROR_SUCCESS)
    return {};
  value.resize(size / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return value;
}

void TRegistry::WriteString(const std::wstring& Name, const std::wstring& Value) {
  LONG rc = key_ ? RegSetValueExW(key_, Name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(Value.c_str()),
                                  static_cast<DWORD>((Value.size() + 1) * sizeof(wchar_t)))
                 : ERROR_INVALID_HANDLE;
  if (rc != ERROR_SUCCESS)
    throw ERegistryException("Failed to set data for '" + WideToAnsi(Name) + "'");
}

bool TRegistry::DeleteValue(const std::wstring& Name) {
  return key_ && RegDeleteValueW(key_, Name.c_str()) == ERROR_SUCCESS;
}
