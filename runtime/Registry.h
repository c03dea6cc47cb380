// Registry access: one root, one open key at a time.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/Exceptions.h"

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

class TRegistry {
 public:
  explicit TRegistry(REGSAM Access = KEY_ALL_ACCESS) : access_(Access) {}
  ~TRegistry() { CloseKey(); }
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey = HKEY_CURRENT_USER;

  // A leading backslash makes Key absolute from RootKey (the only kind of
  // path used here).
  bool OpenKey(const std::wstring& Key, bool CanCreate);
  bool OpenKeyReadOnly(const std::wstring& Key);
  void CloseKey();
  bool ValueExists(const std::wstring& Name) const;
  std::wstring ReadString(const std::wstring& Name) const;
  // Raises ERegistryException when the value cannot be written.
  void WriteString(const std::wstring& Name, const std::wstring& Value);
  bool DeleteValue(const std::wstring& Name);

 private:
  REGSAM access_;
  HKEY key_ = nullptr;
};
