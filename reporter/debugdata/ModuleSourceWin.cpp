// What Windows knows about a loaded module: file name, version resource, size,
// kind, exports, reporter data; and the enumeration of the process's modules.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "reporter/config/ModuleMapping.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "reporter/debugdata/DebugLookup.h"
#include "reporter/debugdata/ModuleFiles.h"
#include "reporter/debugdata/ModuleSourceWin.h"
#include "reporter/debugdata/ModuleStream.h"
#include "reporter/debugdata/ProcessMemory.h"
#include "reporter/debugdata/ReporterData.h"
#include "runtime/Streams.h"

namespace {

HMODULE AsModule(std::uintptr_t handle) {
  return reinterpret_cast<HMODULE>(handle);
}

// Closes a Win32 handle when it leaves scope.
struct TOwnedHandle {
  HANDLE Value;
  explicit TOwnedHandle(HANDLE value) : Value(value) {}
  ~TOwnedHandle() {
    if (Value != nullptr && Value != INVALID_HANDLE_VALUE) CloseHandle(Value);
  }
  bool Valid() const { return Value != nullptr && Value != INVALID_HANDLE_VALUE; }
};

struct TResourceBytes {
  const std::uint8_t* Data = nullptr;
  std::size_t Size = 0;
};

TResourceBytes FindReporterResource(std::uintptr_t handle) {
  TResourceBytes result;
  HRSRC resource = FindResourceA(AsModule(handle), kReporterResourceName, MAKEINTRESOURCEA(10));
  if (resource == nullptr) return result;
  HGLOBAL loaded = LoadResource(AsModule(handle), resource);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(AsModule(handle), resource);
  if (data == nullptr || !IsValidAddress(reinterpret_cast<std::uintptr_t>(data), size))
    return result;
  result.Data = static_cast<const std::uint8_t*>(data);
  result.Size = size;
  return result;
}

// Loads an options stream into the record's options object.
TOptionsStreamReader OptionsLoaderFor(TVexlorModuleInfo& info) {
  return [&info](const std::uint8_t* data, std::size_t size, std::uint16_t version,
                 std::size_t& consumed) {
    try {
      THModuleStream stream(data, static_cast<std::int64_t>(size));
      SetCurrentOptionsStreamVersion(version);
      if (info.Options) info.Options->LoadFromStream(stream);
      consumed = static_cast<std::size_t>(stream.Position());
      return true;
    } catch (const std::exception&) {
      return false;
    }
  };
}

bool FileTailReader(const std::string& fileName, TOwnedHandle& file, std::uint64_t& size,
                    TFileReadAt& readAt) {
  file.Value = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  LARGE_INTEGER fileSize;
  if (!file.Valid() || !GetFileSizeEx(file.Value, &fileSize)) return false;
  size = static_cast<std::uint64_t>(fileSize.QuadPart);
  HANDLE raw = file.Value;
  readAt = [raw](std::uint64_t offset, std::size_t count, std::uint8_t* buffer) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    return SetFilePointerEx(raw, position, nullptr, FILE_BEGIN) && count <= 0x7FFFFFFF &&
           ReadFile(raw, buffer, static_cast<DWORD>(count), &read, nullptr) && read == count;
  };
  return true;
}

}  // namespace

bool IsVexlorLogModule_New(std::uintptr_t moduleHandle) {
  const TResourceBytes resource = FindReporterResource(moduleHandle);
  if (resource.Size < 4) return false;
  std::uint32_t marker = 0;
  std::memcpy(&marker, resource.Data, 4);
  return marker == kReporterDataMarker;
}

bool IsVexlorLogModule_Old(std::uintptr_t moduleHandle) {
  const std::string fileName = ModuleFileName(moduleHandle);
  TOwnedHandle file(nullptr);
  std::uint64_t size = 0;
  TFileReadAt readAt;
  return !fileName.empty() && FileTailReader(fileName, file, size, readAt) &&
         HasReporterFileTail(size, readAt);
}

bool LoadDebugInformation(TVexlorModuleInfo& info) {
  TraceEnter("LoadDebugInformation", {info.FileName});
  TReporterData data;
  bool loaded = false;
  if (IsVexlorLogModule_New(info.Handle)) {
    const TResourceBytes resource = FindReporterResource(info.Handle);
    loaded = ReadReporterResource(resource.Data, resource.Size, OptionsLoaderFor(info), data);
  } else if (IsVexlorLogModule_Old(info.Handle)) {
    TOwnedHandle file(nullptr);
    std::uint64_t size = 0;
    TFileReadAt readAt;
    loaded = FileTailReader(info.FileName, file, size, readAt) &&
             ReadReporterFileTail(size, readAt, OptionsLoaderFor(info), data);
  }
  if (loaded) {
    info.DebugVersion = data.Version;
    info.DebugStamp = data.Stamp;
    info.DebugData = std::move(data.DebugData);
    // Another reporter in this process may have published newer options.
    std::vector<std::uint8_t> published;
    if (info.Handle != ThisModuleHandle() && info.Options &&
        ReadPublishedModuleOptions(info.Handle, published)) {
      try {
        TMemoryStream stream(std::move(published));
        info.Options->LoadFromStream(stream);
      } catch (const std::exception&) {
        // Damaged published options: the stored ones stay.
      }
    }
  }
  TraceExit("LoadDebugInformation", {loaded});
  return loaded;
}

void BuildExportsList(std::uintptr_t moduleHandle, TVexlorFunctionsList& list) {
  TraceEnter("BuildExportsList", {moduleHandle});
  TProcessMemory memory;
  const std::uintptr_t base = moduleHandle;
  std::int32_t headerOffset = 0;
  IMAGE_NT_HEADERS64 headers;
  if (!memory.Read(base + 0x3C, &headerOffset, 4) || headerOffset <= 0 ||
      !memory.Read(base + static_cast<std::uint32_t>(headerOffset), &headers, sizeof headers) ||
      headers.Signature != IMAGE_NT_SIGNATURE ||
      !IsValidAddress(base + headers.OptionalHeader.BaseOfCode,
                      headers.OptionalHeader.SizeOfCode)) {
    TraceExit("BuildExportsList", {0});
    return;
  }
  const std::uintptr_t codeEnd =
      base + headers.OptionalHeader.BaseOfCode + headers.OptionalHeader.SizeOfCode;
  const IMAGE_DATA_DIRECTORY& exports =
      headers.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  // The directory must lie inside a section.
  const std::uintptr_t sections = base + static_cast<std::uint32_t>(headerOffset) +
                                  offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                  headers.FileHeader.SizeOfOptionalHeader;
  bool inside = false;
  for (WORD i = 0; i < headers.FileHeader.NumberOfSections && !inside; ++i) {
    IMAGE_SECTION_HEADER section;
    if (!memory.Read(sections + i * sizeof section, &section, sizeof section)) break;
    inside = exports.VirtualAddress >= section.VirtualAddress &&
             exports.VirtualAddress < section.VirtualAddress + section.Misc.VirtualSize;
  }
  IMAGE_EXPORT_DIRECTORY directory;
  if (exports.VirtualAddress == 0 || !inside ||
      !memory.Read(base + exports.VirtualAddress, &directory, sizeof directory) ||
      directory.Characteristics != 0) {
    TraceExit("BuildExportsList", {0});
    return;
  }
  const DWORD count = std::min(directory.NumberOfFunctions, directory.NumberOfNames);
  const bool designTime = InDesignEnvironment();
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameRva = 0;
    if (!memory.Read(base + directory.AddressOfNames + i * 4u, &nameRva, 4)) break;
    char name[257] = {};
    std::size_t length = 0;
    while (length < 256 && memory.Read(base + nameRva + length, &name[length], 1) &&
           name[length] != '\0')
      ++length;
    name[length] = '\0';
    // The address the system would give for the name, read from the export
    // table itself: the system's lookup takes the loader lock (which an
    // ending thread may hold) and resolves forwarders into other modules,
    // whose code this module's list never names.
    WORD ordinal = 0;
    DWORD rva = 0;
    if (!memory.Read(base + directory.AddressOfNameOrdinals + i * 2u, &ordinal, 2) ||
        ordinal >= directory.NumberOfFunctions ||
        !memory.Read(base + directory.AddressOfFunctions + ordinal * 4u, &rva, 4) || rva == 0)
      continue;
    if (rva >= exports.VirtualAddress && rva < exports.VirtualAddress + exports.Size) continue;
    TVexlorFunctionInfo function;
    function.Name = name;
    function.Address = base + rva;
    function.Size = designTime ? 1 : EstimateProcedureSize(memory, function.Address, codeEnd);
    list.push_back(std::move(function));
  }
  std::sort(list.begin(), list.end(),
            [](const TVexlorFunctionInfo& a, const TVexlorFunctionInfo& b) {
              return a.Address < b.Address;
            });
  TraceExit("BuildExportsList", {list.size()});
}

bool TWin32ModuleSource::ModuleFileName(std::uintptr_t handle, std::string& fileName) {
  char name[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(AsModule(handle), name, MAX_PATH);
  if (length == 0) return false;
  fileName.assign(name, length);
  return true;
}

void TWin32ModuleSource::DescribeFile(const std::string& fileName, TVexlorModuleInfo& info) {
  const TFileVersionInfo version = ReadVersionInfo(fileName);
  info.Description = version.Description;
  info.Version = version.Version;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(fileName.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    info.FileSize = found.nFileSizeLow;
    FindClose(search);
  }
}

std::uint8_t TWin32ModuleSource::ModuleKind(std::uintptr_t handle) {
  TProcessMemory memory;
  std::uint16_t mz = 0;
  std::int32_t offset = 0;
  std::uint32_t signature = 0;
  IMAGE_FILE_HEADER header;
  if (!memory.Read(handle, &mz, 2) || mz != IMAGE_DOS_SIGNATURE ||
      !memory.Read(handle + 0x3C, &offset, 4) || offset <= 0 ||
      !memory.Read(handle + static_cast<std::uint32_t>(offset), &signature, 4) ||
      signature != IMAGE_NT_SIGNATURE ||
      !memory.Read(handle + static_cast<std::uint32_t>(offset) + 4, &header, sizeof header))
    return mkNotDetermined;
  if ((header.Characteristics & IMAGE_FILE_DLL) == 0) return mkExecutable;
  std::string fileName;
  if (!ModuleFileName(handle, fileName)) return mkLibrary;
  HMODULE data = LoadLibraryExA(fileName.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (data == nullptr) return mkLibrary;
  const bool package = FindResourceA(data, "PACKAGEINFO", MAKEINTRESOURCEA(10)) != nullptr &&
                       FindResourceA(data, "PACKAGEOPTIONS", MAKEINTRESOURCEA(10)) != nullptr;
  FreeLibrary(data);
  return package ? mkPackage : mkLibrary;
}

void TWin32ModuleSource::BuildExportsList(std::uintptr_t handle, TVexlorFunctionsList& list) {
  ::BuildExportsList(handle, list);
}

bool TWin32ModuleSource::LoadDebugInformation(TVexlorModuleInfo& info) {
  return ::LoadDebugInformation(info);
}

void TWin32ModuleSource::CreateOptions(TVexlorModuleInfo& info) {
  info.Options = std::make_shared<TVexlorModuleOptionsEx>(info.FileName, true);
}

bool TWin32ModuleSource::EnumerateModules(std::vector<std::uintptr_t>& handles) {
  using TEnumProcessModules = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
  HMODULE psapi = LoadLibraryA("PSAPI.DLL");
  if (psapi != nullptr) {
    auto enumerate = reinterpret_cast<TEnumProcessModules>(
        reinterpret_cast<void*>(GetProcAddress(psapi, "EnumProcessModules")));
    TOwnedHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId()));
    DWORD needed = 0;
    bool done = false;
    if (enumerate != nullptr && process.Valid() && enumerate(process.Value, nullptr, 0, &needed) &&
        needed > 0) {
      std::vector<HMODULE> modules(needed / sizeof(HMODULE) + 8);
      if (enumerate(process.Value, modules.data(),
                    static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed)) {
        modules.resize(std::min<std::size_t>(modules.size(), needed / sizeof(HMODULE)));
        for (HMODULE module : modules) handles.push_back(reinterpret_cast<std::uintptr_t>(module));
        done = true;
      }
    }
    FreeLibrary(psapi);
    if (done) return true;
  }
  TOwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0));
  if (!snapshot.Valid()) return false;
  MODULEENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Module32First(snapshot.Value, &entry); more;
       more = Module32Next(snapshot.Value, &entry))
    handles.push_back(reinterpret_cast<std::uintptr_t>(entry.hModule));
  return true;
}
