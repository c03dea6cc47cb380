// The dialog's remembered values through the private profile functions, one
// key each in the coordinates section.
#include "reporter/dialogs/DialogGeometryWin.h"

#include <windows.h>

std::string ReadDialogValue(const std::string& key) {
  char value[2048] = {};
  GetPrivateProfileStringA(kCoordinatesSection, key.c_str(), "", value, sizeof value,
                           kDialogIniFile);
  return value;
}

void WriteDialogValue(const std::string& key, const std::string& value) {
  WritePrivateProfileStringA(kCoordinatesSection, key.c_str(), value.c_str(), kDialogIniFile);
}

TDialogGeometry ReadDialogGeometry(int screenWidth, int screenHeight, int checkBand) {
  return LoadedGeometry(ReadDialogValue("Width"), ReadDialogValue("Height"),
                        ReadDialogValue("Left"), ReadDialogValue("Top"),
                        ReadDialogValue("WindowsState"), screenWidth, screenHeight, checkBand);
}

void WriteDialogGeometry(const TDialogGeometry& geometry) {
  WriteDialogValue("Width", std::to_string(geometry.Width));
  WriteDialogValue("Height", std::to_string(geometry.Height));
  WriteDialogValue("Left", std::to_string(geometry.Left));
  WriteDialogValue("Top", std::to_string(geometry.Top));
  WriteDialogValue("WindowsState", std::to_string(geometry.State));
}
