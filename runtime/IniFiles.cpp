// The integer conversions shared by every INI store: decimal, or hexadecimal
// after "$" or "0x"; a text that is no number gives the default.
#include "runtime/IniFiles.h"

#include <cstdint>

int StrToIntDef(const std::wstring& Text, int Default) {
  size_t begin = Text.find_first_not_of(L" \t");
  size_t end = Text.find_last_not_of(L" \t");
  if (begin == std::wstring::npos) return Default;
  std::wstring s = Text.substr(begin, end - begin + 1);
  bool negative = false;
  size_t i = 0;
  if (s[i] == L'-' || s[i] == L'+') negative = s[i++] == L'-';
  int base = 10;
  if (i < s.size() && s[i] == L'$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == L'0' && (s[i + 1] == L'x' || s[i + 1] == L'X')) {
    base = 16;
    i += 2;
  }
  if (i == s.size()) return Default;
  int64_t value = 0;
  for (; i < s.size(); ++i) {
    wchar_t c = s[i];
    int digit;
    if (c >= L'0' && c <= L'9')
      digit = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f')
      digit = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F')
      digit = c - L'A' + 10;
    else
      return Default;
    value = value * base + digit;
    // Hexadecimal may spell a negative number in two's complement ($FFFFFFFF).
    if (value > (base == 16 ? int64_t{UINT32_MAX} : int64_t{INT32_MAX} + negative)) return Default;
  }
  if (base == 16 && !negative) return static_cast<int>(static_cast<uint32_t>(value));
  return static_cast<int>(negative ? -value : value);
}

int TCustomIniFile::ReadInteger(const std::wstring& Section, const std::wstring& Ident,
                                int Default) {
  return StrToIntDef(ReadString(Section, Ident, L""), Default);
}

void TCustomIniFile::WriteInteger(const std::wstring& Section, const std::wstring& Ident,
                                  int Value) {
  WriteString(Section, Ident, std::to_wstring(Value));
}
