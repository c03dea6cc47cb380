// Module file names from the loader and the description and version from a
// file's version resource.
#include "reporter/debugdata/ModuleFiles.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "reporter/debugdata/ModulesList.h"

std::string ModuleFileName(std::uintptr_t module) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(reinterpret_cast<HMODULE>(module), buffer, MAX_PATH);
  if (length == 0) return {};
  return StripDevicePathPrefix(std::string(buffer, length));
}

std::string ModuleFileNameOfAddress(const void* address) {
  HMODULE module = nullptr;
  char name[MAX_PATH] = {};
  if (GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<const char*>(address), &module)) {
    GetModuleFileNameA(module, name, MAX_PATH);
  }
  return name;
}

TFileVersionInfo ReadVersionInfo(const std::string& fileName) {
  TFileVersionInfo result;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(fileName.c_str(), &ignored);
  if (size == 0) return result;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(fileName.c_str(), 0, size, data.data())) return result;

  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length) &&
      value != nullptr && length >= 4) {
    WORD translation[2];
    std::memcpy(translation, value, sizeof translation);
    char query[64];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04X%04X\\FileDescription",
                  translation[0], translation[1]);
    if (VerQueryValueA(data.data(), query, &value, &length) && value != nullptr && length > 0) {
      // The length may or may not count the terminator; the text ends at it.
      const char* text = static_cast<const char*>(value);
      const std::string description(text, strnlen(text, length));
      if (!description.empty()) result.Description = description;
    }
  }

  if (VerQueryValueA(data.data(), "\\", &value, &length) && value != nullptr &&
      length >= sizeof(VS_FIXEDFILEINFO)) {
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, value, sizeof fixed);
    const unsigned parts[4] = {HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS),
                               HIWORD(fixed.dwFileVersionLS), LOWORD(fixed.dwFileVersionLS)};
    char version[32];
    std::snprintf(version, sizeof version, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
    if (std::strcmp(version, "0.0.0.0") != 0) result.Version = version;
  }
  return result;
}
