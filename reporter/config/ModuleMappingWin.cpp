// Module mappings as named, page-file-backed file mappings.
#include <windows.h>

#include <cstring>

#include "reporter/config/ModuleMapping.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// Bytes of committed memory from address to the end of its view.
SIZE_T ViewBytesFrom(const void* address) {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(address, &info, sizeof info) == 0 || info.State != MEM_COMMIT) return 0;
  return reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize -
         reinterpret_cast<std::uintptr_t>(address);
}

}  // namespace

TModuleMappingHandle OpenOrCreateModuleMapping(std::uintptr_t moduleHandle, std::string_view suffix,
                                               std::uint32_t dataSize, std::uint8_t** data) {
  *data = nullptr;
  if (dataSize > 0xFFFFFFFFu - 4) return nullptr;
  std::string name = ModuleMappingName(GetCurrentProcessId(), moduleHandle, suffix);
  std::uint32_t total = dataSize + 4;
  HANDLE mapping =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, total, name.c_str());
  if (!mapping) return nullptr;
  bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (!existed && dataSize == 0) {
    CloseHandle(mapping);
    return nullptr;
  }
  auto* view = static_cast<std::uint8_t*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  if (!view) {
    CloseHandle(mapping);
    return nullptr;
  }
  if (existed) {
    std::memcpy(&total, view, 4);
    // A size word that claims more than the block holds would send readers
    // and writers past the view.
    if (total < 4 || total > ViewBytesFrom(view)) {
      UnmapViewOfFile(view);
      CloseHandle(mapping);
      return nullptr;
    }
  }
  std::memcpy(view, &total, 4);
  *data = view + 4;
  return mapping;
}

void CloseModuleMapping(TModuleMappingHandle handle, std::uint8_t* data) {
  if (!handle) return;
  if (data) UnmapViewOfFile(data - 4);
  CloseHandle(static_cast<HANDLE>(handle));
}

std::uintptr_t ThisModuleHandle() {
  return reinterpret_cast<std::uintptr_t>(&__ImageBase);
}

std::uint32_t ThisProcessId() {
  return GetCurrentProcessId();
}

bool IsThisModuleFile(const std::string& fileName) {
  if (fileName.empty()) return false;
  HMODULE module = GetModuleHandleA(fileName.c_str());
  return module && reinterpret_cast<std::uintptr_t>(module) == ThisModuleHandle();
}
