// Parts of file names by Windows rules on every platform ('\', '/' and ':'
// end a folder; a drive is "C:" or "\\server\share"), because every name the
// program and its reporter take apart is a Windows name.
#pragma once

#include <string>
#include <string_view>

// File name with its extension replaced by newExtension (".log", ".vlf"),
// which includes the dot; a name without an extension gets it appended.
std::string ChangeFileExt(std::string_view fileName, std::string_view newExtension);
std::wstring ChangeFileExt(const std::wstring& fileName, const std::wstring& newExtension);

std::string ExtractFileName(std::string_view fileName);  // without its folder
std::string ExtractFilePath(std::string_view fileName);  // folder with its final '\'
std::string ExtractFileExt(std::string_view fileName);   // with the dot, or empty

// The folder without its trailing backslash, except that a drive root keeps
// it: "C:\WINDOWS\system32\x.dll" -> "C:\WINDOWS\system32", "C:\x.exe" -> "C:\".
std::string ExtractFileDir(std::string_view path);

// "C:" of "C:\App\a.exe", "\\server\share" of a UNC name, empty otherwise.
std::string ExtractFileDrive(std::string_view path);
