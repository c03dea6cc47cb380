// The report of a console program: the intro text and the report on the
// standard output.
#pragma once

#include <string>

bool IsConsoleApplication();
// Raises EWriteError when the output cannot be written.
void WriteConsoleReport(const std::string& introText, const std::string& reportText);

// The report as plain text on the clipboard; false when it is not available.
bool CopyTextToClipboard(const std::string& text);
