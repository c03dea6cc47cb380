// The modules list over a scripted process that loads and unloads modules, and
// the threads list's lookups.
#include "reporter/debugdata/ModulesList.h"

#include <gtest/gtest.h>

#include <map>

#include "reporter/debugdata/ThreadsList.h"

namespace {

// A process whose modules the test loads and unloads.
class TScriptedModules : public TVexlorModuleSource {
 public:
  std::map<std::uintptr_t, std::string> loaded;
  bool enumerationAvailable = true;
  int fullBuilds = 0;

  bool ModuleFileName(std::uintptr_t handle, std::string& fileName) override {
    auto it = loaded.find(handle);
    if (it == loaded.end()) return false;
    fileName = it->second;
    return true;
  }
  void DescribeFile(const std::string& fileName, TVexlorModuleInfo& info) override {
    info.Description = "desc of " + fileName;
    info.FileSize = 1234;
  }
  std::uint8_t ModuleKind(std::uintptr_t handle) override {
    return handle == 0x400000 ? mkExecutable : mkLibrary;
  }
  void BuildExportsList(std::uintptr_t handle, TVexlorFunctionsList& list) override {
    ++fullBuilds;
    list.push_back({"Second", handle + 0x2000, 16});
    list.push_back({"First", handle + 0x1000, 16});
  }
  bool LoadDebugInformation(TVexlorModuleInfo& info) override {
    if (info.Handle != 0x400000) return false;
    info.DebugVersion = 458;
    info.DebugStamp = 46000.5;
    info.DebugData = {1, 2, 3};
    return true;
  }
  void CreateOptions(TVexlorModuleInfo&) override {}
  bool EnumerateModules(std::vector<std::uintptr_t>& handles) override {
    if (!enumerationAvailable) return false;
    for (const auto& [handle, name] : loaded) handles.push_back(handle);
    std::reverse(handles.begin(), handles.end());
    return true;
  }
};

TEST(ModulesList, FullRecordsOnDemandLightOnesFromEnumeration) {
  TScriptedModules process;
  process.loaded = {{0x400000, "\\??\\C:\\App\\player.exe"},
                    {0x7FF000000000, "C:\\Windows\\ntdll.dll"}};
  TVexlorModulesList list(process);

  TVexlorModuleInfo* exe = list.FindModuleInfo(0x400000);
  ASSERT_NE(exe, nullptr);
  EXPECT_EQ(exe->FileName, "C:\\App\\player.exe");
  EXPECT_EQ(exe->ModuleKind, mkExecutable);
  EXPECT_EQ(exe->DebugData.size(), 3u);
  ASSERT_EQ(exe->FunctionsList.size(), 2u);
  EXPECT_EQ(exe->FunctionsList[0].Name, "First");  // sorted by address
  EXPECT_EQ(list.FindModuleInfo(0x400000), exe);
  EXPECT_EQ(list.FindModuleInfo(0), nullptr);
  EXPECT_EQ(list.FindModuleInfo(0x1234), nullptr);

  list.GetModulesList();
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Items(0).Handle, 0x400000u);
  TVexlorModuleInfo& dll = list.Items(1);
  EXPECT_EQ(dll.ModuleKind, mkNotDetermined);
  EXPECT_TRUE(dll.FunctionsList.empty());
  EXPECT_EQ(dll.DebugVersion, 458);
  EXPECT_FALSE(dll.HasDebugData());

  // A lookup in a module first seen by the enumeration rebuilds it in full,
  // in the same record.
  const int builds = process.fullBuilds;
  TVexlorModuleInfo* full = list.FindModuleInfo(0x7FF000000000);
  ASSERT_EQ(full, &dll);
  EXPECT_EQ(full->ModuleKind, mkLibrary);
  EXPECT_EQ(full->FunctionsList.size(), 2u);
  EXPECT_EQ(process.fullBuilds, builds + 1);
  EXPECT_EQ(list.Count(), 2u);
}

TEST(ModulesList, UnloadedModulesGoAtTheNextRefresh) {
  TScriptedModules process;
  process.loaded = {{0x400000, "C:\\App\\player.exe"}, {0x10000000, "C:\\App\\plugin.dll"}};
  TVexlorModulesList list(process);
  list.GetModulesList();
  ASSERT_EQ(list.Count(), 2u);
  process.loaded.erase(0x10000000);
  list.GetModulesList();
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.Items(0).Handle, 0x400000u);

  // Without an enumeration the list stays as it is.
  process.enumerationAvailable = false;
  process.loaded[0x20000000] = "C:\\App\\late.dll";
  list.GetModulesList();
  EXPECT_EQ(list.Count(), 1u);
  // Nor does a record the system cannot name just now while the enumeration
  // still fails (another thread holds the loader): it is all a report has.
  process.loaded.clear();
  list.GetModulesList();
  EXPECT_EQ(list.Count(), 1u);
}

TEST(ModulesList, DevicePathPrefixesAreDroppedBeforeTheDrive) {
  EXPECT_EQ(StripDevicePathPrefix("\\??\\C:\\App\\player.exe"), "C:\\App\\player.exe");
  EXPECT_EQ(StripDevicePathPrefix("\\\\?\\D:\\x.dll"), "D:\\x.dll");
  EXPECT_EQ(StripDevicePathPrefix("C:\\App\\player.exe"), "C:\\App\\player.exe");
  EXPECT_EQ(StripDevicePathPrefix("\\\\?\\UNC\\server\\share\\x.dll"),
            "\\\\?\\UNC\\server\\share\\x.dll");
}

TEST(ThreadsList, LookupsFindTheEarlierRecordAndRemovalLocksItself) {
  TVexlorThreadsList threads;
  auto add = [&](std::uint32_t id, std::uintptr_t handle) {
    auto info = std::make_unique<TVexlorThreadInfo>();
    info->ThreadID = id;
    info->Handle = handle;
    threads.Add(std::move(info));
  };
  threads.Lock();
  add(10, 0x100);
  add(20, 0x200);
  add(10, 0x300);
  EXPECT_EQ(threads.IndexOfThreadID(10), 0);
  EXPECT_EQ(threads.IndexOfHandle(0x300), 2);
  EXPECT_EQ(threads.IndexOfThreadID(99), -1);
  threads.Unlock();
  threads.RemoveThreadLocked(10);
  threads.Lock();
  EXPECT_EQ(threads.Count(), 2u);
  EXPECT_EQ(threads.Get(threads.IndexOfThreadID(10)).Handle, 0x300u);
  threads.Delete(5);  // out of range: nothing happens
  threads.Clear();
  EXPECT_EQ(threads.Count(), 0u);
  threads.Unlock();
}

}  // namespace
