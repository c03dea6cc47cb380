// The player's two shared settings and their INI file beside the executable.
// They live as long as the program and are used on the main thread only.
#pragma once

#include <string>

#include "runtime/IniFiles.h"

// Full path of the video file or playlist to play.
extern std::wstring FileName;
// Zero-based index into the system's monitor list.
extern int MonitorIndex;

// The settings' INI file for an executable: same folder, extension ".ini".
std::wstring SettingsFileFor(const std::wstring& ExePath);

// Section "Options": "FileName" (default empty), "Monitor" (default 1, the
// second monitor).
void ReadPlayerSettings(TCustomIniFile& Ini);
// Writes "FileName", then "Monitor".
void WritePlayerSettings(TCustomIniFile& Ini);
