// The reporter's lookups in the running process: modules, debug data,
// addresses, procedures, call stacks, threads. Windows only. None of these
// raise; failures give empty results.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "reporter/debugdata/DebugInfo.h"
#include "reporter/debugdata/FrameWalk.h"
#include "reporter/debugdata/ModulesList.h"
#include "reporter/debugdata/StackList.h"
#include "reporter/debugdata/ThreadsList.h"

// The process-wide modules list. The design lets only the handler thread use
// it; a lock is added because lookups may come from any thread. Hold
// TModulesListLock while using records obtained from it.
TVexlorModulesList& VexlorModulesList();
class TModulesListLock {
 public:
  TModulesListLock();
  ~TModulesListLock();
  TModulesListLock(const TModulesListLock&) = delete;
  TModulesListLock& operator=(const TModulesListLock&) = delete;
};

TVexlorModuleInfo* FindModuleInfo(std::uintptr_t moduleHandle);
void GetModulesList();

// The module carries a "VLDATA" resource that starts with the marker.
bool IsVexlorLogModule_New(std::uintptr_t moduleHandle);
// The module's file ends with the marker (file-tail form).
bool IsVexlorLogModule_Old(std::uintptr_t moduleHandle);
bool LoadDebugInformation(TVexlorModuleInfo& info);

TVexlorDebugInfo GetDebugInfo(std::uintptr_t address);
// The calls an address's inlined code stands for, innermost first.
std::vector<TVexlorDebugInfo> GetInlineCallers(std::uintptr_t address);
// "Unit.Procedure" or "Unit.Class.Method" in this module's debug data (unit
// names as stored: ".cpp" units without extension); 0 when absent.
std::uintptr_t FindProcedureAddress(const std::string& name);
void BuildExportsList(std::uintptr_t moduleHandle, TVexlorFunctionsList& list);

// Import stubs of the running process resolved to their targets.
std::uintptr_t ResolveImportThunk(std::uintptr_t address);

// Walks a stack range of this process (or a saved copy of one); in
// design-time mode the list is filtered.
std::unique_ptr<TVexlorStackList> WalkStack(std::uintptr_t exceptionAddress,
                                            std::uintptr_t rangeStart, std::uintptr_t rangeEnd);

// The call stack of this process's thread (or a copy of its stack placed by
// the reader) from a register context, frame by frame through the unwind
// data; the exception address is the first row when it is not the context's
// own instruction.
std::unique_ptr<TVexlorStackList> WalkStackFrames(std::uintptr_t exceptionAddress,
                                                  const TFrameRegisters& start,
                                                  std::uintptr_t stackTop);

// The same over a copy of a stack, seen at the addresses it was copied from
// (a creator's stack, a frozen main thread's): from the given registers, or,
// with startsAtReturnAddress, from the return address in the copy's first
// slot, whatever start.Rip says.
std::unique_ptr<TVexlorStackList> WalkStackCopyFrames(TFrameRegisters start,
                                                      bool startsAtReturnAddress,
                                                      std::uintptr_t origin,
                                                      const std::uint8_t* copy, std::size_t size);

TVexlorThreadsList& VexlorThreadsList();
// Removes the calling thread's record (its ExitThread hook).
void RemoveCurrentThreadInfo();
