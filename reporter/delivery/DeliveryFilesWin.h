// Where delivery keeps its temporary files: the screenshot and the report
// file, both in the user's temporary folder.
#pragma once

#include <string>

class TVexlorModuleOptions;

// With its final backslash.
std::string TemporaryFolder();
// The temporary folder + "Screenshot.png".
std::string ScreenshotFileName();
// The temporary folder + the log file's name (without its folder).
std::string ReportFileName(const TVexlorModuleOptions& options);
// Replaces the file with the text; false when it cannot be written.
bool WriteTextFile(const std::string& name, const std::string& text);
