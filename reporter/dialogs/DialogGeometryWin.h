// What the exception dialog remembers between reports: the expanded
// geometry and the list pages' column widths, in "VexlorLog.ini" of the
// Windows directory (the profile functions put a name without a folder
// there). Failed reads and writes are ignored.
#pragma once

#include <string>

#include "reporter/dialogs/DialogLayout.h"

constexpr const char* kDialogIniFile = "VexlorLog.ini";
constexpr const char* kCoordinatesSection = "Coordinates";

// The value stored under the key, empty when there is none.
std::string ReadDialogValue(const std::string& key);
void WriteDialogValue(const std::string& key, const std::string& value);

TDialogGeometry ReadDialogGeometry(int screenWidth, int screenHeight, int checkBand);
void WriteDialogGeometry(const TDialogGeometry& geometry);
