// The module options block as other modules see it: a named file mapping.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "reporter/config/ModuleMapping.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/TracePlatform.h"

TEST(ModuleMappingWin, PublishedBlockIsReachableByName) {
  ASSERT_TRUE(CreateOwnModuleOptionsMapping());
  TVexlorModuleOptionsEx own(PlatformExecutablePath(), true);
  own.SetEmailSubject("Player crash");
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string name = ModuleMappingName(
      GetCurrentProcessId(), reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr)), "MODULE");
  EXPECT_EQ(name.size(), 30u);
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  ASSERT_NE(mapping, nullptr) << name;
  auto* view = static_cast<const std::uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  std::uint32_t total = 0;
  std::memcpy(&total, view, 4);
  EXPECT_EQ(view[4], 1);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadPublishedModuleOptions(ThisModuleHandle(), bytes));
  EXPECT_EQ(total, bytes.size() + 5);
  EXPECT_EQ(std::memcmp(view + 5, bytes.data(), bytes.size()), 0);
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  CloseOwnModuleOptionsMapping();
}

TEST(ModuleMappingWin, SizeWordBeyondTheBlockIsRejected) {
  std::uint8_t* data = nullptr;
  TModuleMappingHandle block = OpenOrCreateModuleMapping(0x55550000, "MODULE", 16, &data);
  ASSERT_NE(block, nullptr);
  data[0] = 1;
  std::uint32_t absurd = 0x7FFFFFFF;
  std::memcpy(data - 4, &absurd, 4);
  std::vector<std::uint8_t> bytes;
  EXPECT_FALSE(ReadPublishedModuleOptions(0x55550000, bytes));
  CloseModuleMapping(block, data);
}
