// The trace's view of Windows: the loader for module names, the memory
// manager for readable bytes, the 8-bit command line, the debugger channel.
#include <windows.h>

#include <cstring>

#include "reporter/config/TracePlatform.h"

namespace {

// Static initialisation runs on the main thread of the process.
const DWORD mainThreadId = GetCurrentThreadId();

bool IsReadableProtection(DWORD protect) {
  if (protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
  return (protect & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                     PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

class TLoaderInspector : public TAddressInspector {
 public:
  std::string ModuleFileName(const void* address) const override {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCSTR>(address), &module))
      return {};
    char name[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(module, name, MAX_PATH);
    return std::string(name, length);
  }

  bool ReadBytes(const void* address, void* out, std::size_t size) const override {
    auto begin = reinterpret_cast<std::uintptr_t>(address);
    std::uintptr_t end = begin + size;
    if (end < begin) return false;
    for (std::uintptr_t at = begin; at < end;) {
      MEMORY_BASIC_INFORMATION info{};
      if (VirtualQuery(reinterpret_cast<LPCVOID>(at), &info, sizeof info) == 0) return false;
      if (info.State != MEM_COMMIT || !IsReadableProtection(info.Protect)) return false;
      at = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    }
    std::memcpy(out, address, size);
    return true;
  }
};

}  // namespace

std::string PlatformExecutablePath() {
  char name[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, name, MAX_PATH);
  return std::string(name, length);
}

std::vector<std::string> PlatformCommandLineParameters() {
  std::vector<std::string> parts = SplitCommandLine(GetCommandLineA());
  if (!parts.empty()) parts.erase(parts.begin());
  return parts;
}

std::string PlatformSystemVersionText() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  BOOL ok = GetVersionExA(&info);
#pragma GCC diagnostic pop
  if (!ok) return "Microsoft Windows ";
  return WindowsVersionText(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                            info.szCSDVersion);
}

std::uint32_t PlatformCurrentThreadId() {
  return GetCurrentThreadId();
}

bool PlatformIsMainThread() {
  return GetCurrentThreadId() == mainThreadId;
}

void PlatformDebuggerOutput(const std::string& text) {
  OutputDebugStringA(text.c_str());
}

const TAddressInspector& PlatformAddressInspector() {
  // Never destroyed: reads of foreign memory happen while the process exits.
  static const TLoaderInspector& inspector = *new TLoaderInspector;
  return inspector;
}
