// INI access. TCustomIniFile does the conversions shared by every store;
// TIniFile (Win32, IniFile.cpp) reads and writes through the private-profile
// functions.
#pragma once

#include <string>

class TCustomIniFile {
 public:
  virtual ~TCustomIniFile() = default;

  virtual std::wstring ReadString(const std::wstring& Section, const std::wstring& Ident,
                                  const std::wstring& Default) = 0;
  virtual void WriteString(const std::wstring& Section, const std::wstring& Ident,
                           const std::wstring& Value) = 0;

  // Decimal, or hexadecimal with "$" or "0x"; anything else gives Default.
  // Negative values read back as written.
  int ReadInteger(const std::wstring& Section, const std::wstring& Ident, int Default);
  void WriteInteger(const std::wstring& Section, const std::wstring& Ident, int Value);
};

// The whole of Text as an integer, or Default when it is not one.
int StrToIntDef(const std::wstring& Text, int Default);
