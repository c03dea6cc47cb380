// An INI file on disk, through the system's private-profile functions.
#pragma once

#include <string>

#include "runtime/IniFiles.h"

class TIniFile : public TCustomIniFile {
 public:
  explicit TIniFile(std::wstring FileName) : fileName_(std::move(FileName)) {}

  const std::wstring& FileName() const { return fileName_; }
  std::wstring ReadString(const std::wstring& Section, const std::wstring& Ident,
                          const std::wstring& Default) override;
  // A new file is started as UTF-16 so that names outside the system code
  // page survive; the profile functions keep an existing file's encoding.
  void WriteString(const std::wstring& Section, const std::wstring& Ident,
                   const std::wstring& Value) override;

 private:
  std::wstring fileName_;
};
