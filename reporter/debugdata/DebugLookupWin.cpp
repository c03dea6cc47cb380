// The process-wide modules and threads lists and the lookups over them on
// Windows, each under the modules lock and each giving what it found on a failure.
#include <windows.h>

#include <atomic>

#include "reporter/config/ModuleMapping.h"
#include "reporter/config/ReporterLock.h"
#include "reporter/config/Trace.h"
#include "reporter/debugdata/AddressLookup.h"
#include "reporter/debugdata/DebugLookup.h"
#include "reporter/debugdata/ModuleSourceWin.h"
#include "reporter/debugdata/ProcessMemory.h"
#include "reporter/debugdata/StackWalk.h"

namespace {

TWin32ModuleSource& ModuleSource() {
  static auto* source = new TWin32ModuleSource;
  return *source;
}

// Lives until the process ends: lookups may come from static destructors.
std::atomic<TVexlorModulesList*>& ModulesListSlot() {
  static std::atomic<TVexlorModulesList*> slot{new TVexlorModulesList(ModuleSource())};
  return slot;
}

// A holder that ended may have left a record half-built or the list halfway
// through growing or sorting. The list is started anew and filled again on
// demand; the old one is left alone rather than freed, as records handed out
// before (the options module of a report that was cut off) still point into
// it.
void StartNewModulesList(void*) {
  ModulesListSlot() = new TVexlorModulesList(ModuleSource());
}

TVexlorLock& ModulesLock() {
  static TVexlorLock lock{&StartNewModulesList};
  return lock;
}

}  // namespace

TVexlorModulesList& VexlorModulesList() {
  return *ModulesListSlot().load();
}

TModulesListLock::TModulesListLock() {
  ModulesLock().Acquire();
}
TModulesListLock::~TModulesListLock() {
  ModulesLock().Release();
}

TVexlorModuleInfo* FindModuleInfo(std::uintptr_t moduleHandle) {
  TModulesListLock lock;
  try {
    return VexlorModulesList().FindModuleInfo(moduleHandle);
  } catch (const std::exception&) {
    return nullptr;
  }
}

void GetModulesList() {
  TraceEnter("GetModulesList");
  TModulesListLock lock;
  try {
    VexlorModulesList().GetModulesList();
  } catch (const std::exception&) {
    // An enumeration that fails halfway leaves what it found.
  }
  TraceExit("GetModulesList", {VexlorModulesList().Count()});
}

TVexlorDebugInfo GetDebugInfo(std::uintptr_t address) {
  TraceEnter("GetDebugInfo", {reinterpret_cast<void*>(address)});
  TModulesListLock lock;
  TVexlorDebugInfo info;
  info.Address = address;
  try {
    info = ResolveInModule(FindModuleInfo(ModuleOfAddress(address)), address);
  } catch (const std::exception&) {
    // Whatever was found so far stays; the address itself is always known.
  }
  TraceExit("GetDebugInfo", {info.Kind, info.UnitName, info.ProcedureName, info.Line});
  return info;
}

std::vector<TVexlorDebugInfo> GetInlineCallers(std::uintptr_t address) {
  TModulesListLock lock;
  try {
    return ResolveInlineCallers(FindModuleInfo(ModuleOfAddress(address)), address);
  } catch (const std::exception&) {
    return {};
  }
}

std::uintptr_t FindProcedureAddress(const std::string& name) {
  TraceEnter("FindProcedureAddress", {name});
  TModulesListLock lock;
  std::uintptr_t address = 0;
  if (const TVexlorModuleInfo* own = FindModuleInfo(ThisModuleHandle()))
    address = FindProcedureInModule(*own, name);
  TraceExit("FindProcedureAddress", {reinterpret_cast<void*>(address)});
  return address;
}

std::uintptr_t ResolveImportThunk(std::uintptr_t address) {
  TProcessMemory memory;
  return ResolveImportThunk(memory, address);
}

std::unique_ptr<TVexlorStackList> WalkStack(std::uintptr_t exceptionAddress,
                                            std::uintptr_t rangeStart, std::uintptr_t rangeEnd) {
  TraceEnter("WalkStack", {reinterpret_cast<void*>(exceptionAddress),
                           reinterpret_cast<void*>(rangeStart), reinterpret_cast<void*>(rangeEnd)});
  TProcessMemory memory;
  std::unique_ptr<TVexlorStackList> list;
  try {
    list = WalkStack(memory, GetDebugInfo, exceptionAddress, rangeStart, rangeEnd);
    if (InDesignEnvironment()) FilterStackDesignTime(*list, FindModuleInfo(ThisModuleHandle()));
  } catch (const std::exception&) {
    if (!list) list = std::make_unique<TVexlorStackList>();
  }
  TraceExit("WalkStack", {list->Count()});
  return list;
}

std::unique_ptr<TVexlorStackList> WalkStackFrames(std::uintptr_t exceptionAddress,
                                                  const TFrameRegisters& start,
                                                  std::uintptr_t stackTop) {
  TraceEnter("WalkStackFrames",
             {reinterpret_cast<void*>(exceptionAddress), reinterpret_cast<void*>(start.Rip),
              reinterpret_cast<void*>(start.Rsp())});
  TProcessMemory memory;
  auto list = std::make_unique<TVexlorStackList>();
  try {
    if (exceptionAddress != 0 && exceptionAddress != start.Rip)
      list->Add(GetDebugInfo(exceptionAddress));
    TFrameWalkLimits limits;
    limits.StackTop = stackTop;
    const std::unique_ptr<TVexlorStackList> frames =
        WalkStackFrames(memory, &ModuleOfAddress, &GetDebugInfo, start, limits, &GetInlineCallers);
    for (const TVexlorDebugInfo& item : *frames) list->Add(item);
    if (InDesignEnvironment()) FilterStackDesignTime(*list, FindModuleInfo(ThisModuleHandle()));
  } catch (const std::exception&) {
    // The rows found so far stay.
  }
  TraceExit("WalkStackFrames", {list->Count()});
  return list;
}

std::unique_ptr<TVexlorStackList> WalkStackCopyFrames(TFrameRegisters start,
                                                      bool startsAtReturnAddress,
                                                      std::uintptr_t origin,
                                                      const std::uint8_t* copy, std::size_t size) {
  TraceEnter("WalkStackCopyFrames", {reinterpret_cast<void*>(origin), size});
  TProcessMemory memory;
  TStackCopyReader reader(memory, origin, copy, size);
  auto list = std::make_unique<TVexlorStackList>();
  try {
    TFrameWalkLimits limits;
    limits.StackTop = origin + size;
    limits.StartsAtReturnAddress = startsAtReturnAddress;
    std::uint64_t returnAddress = 0;
    if (startsAtReturnAddress) {
      if (size < 8 || !reader.Read(origin, &returnAddress, 8)) returnAddress = 0;
      start = {};
      start.Rip = returnAddress;
      start.Set(kRegisterRsp, origin + 8);
    }
    if (start.Rip != 0)
      list = WalkStackFrames(reader, &ModuleOfAddress, &GetDebugInfo, start, limits,
                             &GetInlineCallers);
  } catch (const std::exception&) {
  }
  TraceExit("WalkStackCopyFrames", {list->Count()});
  return list;
}

TVexlorThreadsList& VexlorThreadsList() {
  static TVexlorThreadsList* list = new TVexlorThreadsList;
  return *list;
}

void RemoveCurrentThreadInfo() {
  VexlorThreadsList().RemoveThreadLocked(GetCurrentThreadId());
}
