// Lookups in the running test executable, which carries its own reporter
// data (attached by the build).
#include "reporter/debugdata/DebugLookup.h"

#include <cxxabi.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <windows.h>

#include "reporter/config/ModuleMapping.h"
#include "reporter/debugdata/ProcessMemory.h"
#include "tests/reporter/debugdata/LookupSubjects.h"

namespace {

TEST(DebugLookup, OwnModuleCarriesResourceData) {
  const std::uintptr_t own = ThisModuleHandle();
  EXPECT_TRUE(IsVexlorLogModule_New(own));
  EXPECT_FALSE(IsVexlorLogModule_Old(own));
  TVexlorModuleInfo* info = FindModuleInfo(own);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->ModuleKind, mkExecutable);
  EXPECT_EQ(info->DebugVersion, 458);
  EXPECT_GT(info->DebugStamp, 45000.0);
  EXPECT_TRUE(info->HasDebugData());
  ASSERT_TRUE(info->Options);
}

TEST(DebugLookup, KnownFunctionsResolveToUnitClassProcedureAndLine) {
  TSubjectCase cases[8];
  const int count = CollectSubjectCases(cases, 8);
  ASSERT_EQ(count, 5);
  for (int i = 0; i < count; ++i) {
    const TSubjectCase& c = cases[i];
    const TVexlorDebugInfo info = GetDebugInfo(c.Site.Address);
    EXPECT_EQ(info.Kind, dikSourceLine) << c.Name;
    ASSERT_NE(info.ModuleInfo, nullptr) << c.Name;
    EXPECT_EQ(info.ModuleInfo->Handle, ThisModuleHandle()) << c.Name;
    EXPECT_EQ(info.Address, c.Site.Address) << c.Name;
    EXPECT_EQ(info.UnitName, c.Unit) << c.Name;
    EXPECT_EQ(info.ClassName, c.ClassName) << c.Name;
    EXPECT_EQ(info.ProcedureName, c.Procedure) << c.Name;
    EXPECT_EQ(info.Line, c.Site.Line) << c.Name;
  }
}

TEST(DebugLookup, RunTimeLibraryCodeIsNamedFromTheSymbolTable) {
  // libstdc++ comes without line information: the executable's own name
  // stands for the unit, the line is 0.
  const TVexlorDebugInfo info =
      GetDebugInfo(reinterpret_cast<std::uintptr_t>(&abi::__cxa_demangle) + 4);
  EXPECT_EQ(info.Kind, dikSourceLine);
  EXPECT_EQ(info.UnitName, "debuglookup_tests.exe");
  EXPECT_EQ(info.ProcedureName, "__cxa_demangle");
  EXPECT_EQ(info.Line, 0);
}

TEST(DebugLookup, ProceduresAreFoundByQualifiedName) {
  EXPECT_EQ(FindProcedureAddress("LookupSubjects.FreeSubject"),
            reinterpret_cast<std::uintptr_t>(&FreeSubject));
  EXPECT_EQ(FindProcedureAddress("LookupSubjects.freesubject"), 0u);
  EXPECT_NE(FindProcedureAddress("LookupSubjects.vp::TLookupSubject.Method"), 0u);
}

TEST(DebugLookup, ForeignAndInvalidAddresses) {
  // A system DLL: module known, an export name when the address is one.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  ASSERT_NE(kernel, nullptr);
  const auto exported = reinterpret_cast<std::uintptr_t>(GetProcAddress(kernel, "GetTickCount"));
  TVexlorDebugInfo info = GetDebugInfo(exported);
  EXPECT_GE(info.Kind, dikModule);
  ASSERT_NE(info.ModuleInfo, nullptr);
  EXPECT_NE(info.ModuleInfo->FileName.find("kernel32"), std::string::npos);
  EXPECT_EQ(info.ModuleInfo->ModuleKind, mkLibrary);
  // File facts: size on disk, and the version resource's four parts.
  EXPECT_GT(info.ModuleInfo->FileSize, 0u);
  const std::string& version = info.ModuleInfo->Version;
  EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 3) << version;

  int local = 0;
  info = GetDebugInfo(reinterpret_cast<std::uintptr_t>(&local));
  EXPECT_EQ(info.Kind, dikAddressOnly);
  EXPECT_EQ(GetDebugInfo(0x10).Kind, dikAddressOnly);
  EXPECT_FALSE(IsValidAddress(0x10, 4));
  EXPECT_TRUE(IsValidAddress(reinterpret_cast<std::uintptr_t>(&local), sizeof local));
  EXPECT_EQ(ModuleOfAddress(reinterpret_cast<std::uintptr_t>(&FreeSubject)), ThisModuleHandle());
}

TEST(DebugLookup, ModulesListHoldsEveryLoadedModuleSorted) {
  GetModulesList();
  TModulesListLock lock;
  TVexlorModulesList& list = VexlorModulesList();
  ASSERT_GE(list.Count(), 3u);
  bool own = false, ntdll = false;
  for (std::size_t i = 0; i < list.Count(); ++i) {
    if (i > 0) {
      EXPECT_LT(list.Items(i - 1).Handle, list.Items(i).Handle);
    }
    own = own || list.Items(i).Handle == ThisModuleHandle();
    ntdll = ntdll || list.Items(i).FileName.find("ntdll") != std::string::npos;
    EXPECT_EQ(list.Items(i).FileName.find('?'), std::string::npos);
  }
  EXPECT_TRUE(own);
  EXPECT_TRUE(ntdll);
}

TEST(DebugLookup, UnloadedLibraryLeavesTheList) {
  // A library nothing else in this process holds.
  const char* candidates[] = {"imagehlp.dll", "msacm32.dll", "mpr.dll", "netapi32.dll"};
  const char* name = nullptr;
  for (const char* candidate : candidates) {
    if (GetModuleHandleA(candidate) == nullptr) {
      name = candidate;
      break;
    }
  }
  ASSERT_NE(name, nullptr);
  HMODULE library = LoadLibraryA(name);
  ASSERT_NE(library, nullptr);
  const auto handle = reinterpret_cast<std::uintptr_t>(library);
  GetModulesList();
  {
    TModulesListLock lock;
    TVexlorModuleInfo* full = FindModuleInfo(handle);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->ModuleKind, mkLibrary);  // the light record was rebuilt in full
    EXPECT_FALSE(full->FunctionsList.empty());
  }
  FreeLibrary(library);
  if (GetModuleHandleA(name) != nullptr) GTEST_SKIP() << name << " stays loaded";
  GetModulesList();
  TModulesListLock lock;
  for (std::size_t i = 0; i < VexlorModulesList().Count(); ++i)
    EXPECT_NE(VexlorModulesList().Items(i).Handle, handle);
}

__attribute__((noinline)) std::unique_ptr<TVexlorStackList> WalkFromHere() {
  volatile std::uintptr_t marker = 0;
  const auto start = reinterpret_cast<std::uintptr_t>(&marker);
  // The committed part of the stack above us ends at the stack's base.
  MEMORY_BASIC_INFORMATION region;
  VirtualQuery(reinterpret_cast<LPCVOID>(start), &region, sizeof region);
  const auto top = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
  return WalkStack(0, start, top - 8);
}

__attribute__((noinline)) std::unique_ptr<TVexlorStackList> OuterCaller() {
  auto list = WalkFromHere();
  asm volatile("" ::: "memory");  // keeps the call from becoming a jump
  return list;
}

TEST(DebugLookup, RawStackWalkFindsItsCallers) {
  const auto list = OuterCaller();
  bool walk = false, outer = false;
  for (const TVexlorDebugInfo& item : *list) {
    walk = walk || item.ProcedureName == "WalkFromHere";
    outer = outer || (item.ProcedureName == "OuterCaller" &&
                      item.UnitName == "DebugLookupWinTest.cpp" && item.Line > 0);
  }
  EXPECT_TRUE(walk) << list->Count() << " items";
  EXPECT_TRUE(outer);
}

TEST(DebugLookup, ImportStubsResolveToTheirTargets) {
  // GetTickCount is called through the import table of this executable.
  const auto target = reinterpret_cast<std::uintptr_t>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount"));
  EXPECT_EQ(ResolveImportThunk(target), target);  // no stub: unchanged
}

TEST(DebugLookup, ThreadsListIsProcessWide) {
  TVexlorThreadsList& threads = VexlorThreadsList();
  threads.Lock();
  auto info = std::make_unique<TVexlorThreadInfo>();
  info->ThreadID = GetCurrentThreadId();
  threads.Add(std::move(info));
  threads.Unlock();
  RemoveCurrentThreadInfo();
  threads.Lock();
  EXPECT_EQ(threads.IndexOfThreadID(GetCurrentThreadId()), -1);
  threads.Unlock();
}

}  // namespace
