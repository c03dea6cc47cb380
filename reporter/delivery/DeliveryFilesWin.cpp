// The temporary folder from the system, the files' names in it, and a text file
// written whole or not at all.
#include "reporter/delivery/DeliveryFilesWin.h"

#include <windows.h>

#include "reporter/config/ModuleOptions.h"
#include "runtime/FileNames.h"

std::string TemporaryFolder() {
  char folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length > MAX_PATH) return {};
  return folder;
}

std::string ScreenshotFileName() {
  return TemporaryFolder() + "Screenshot.png";
}

std::string ReportFileName(const TVexlorModuleOptions& options) {
  return TemporaryFolder() + ExtractFileName(options.OutputLogFile());
}

bool WriteTextFile(const std::string& name, const std::string& text) {
  HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  CloseHandle(file);
  if (!ok) DeleteFileA(name.c_str());
  return ok;
}
