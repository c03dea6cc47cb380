// The modules list's view of Windows. Windows only.
#pragma once

#include "reporter/debugdata/ModulesList.h"

class TWin32ModuleSource : public TVexlorModuleSource {
 public:
  bool ModuleFileName(std::uintptr_t handle, std::string& fileName) override;
  void DescribeFile(const std::string& fileName, TVexlorModuleInfo& info) override;
  std::uint8_t ModuleKind(std::uintptr_t handle) override;
  void BuildExportsList(std::uintptr_t handle, TVexlorFunctionsList& list) override;
  bool LoadDebugInformation(TVexlorModuleInfo& info) override;
  void CreateOptions(TVexlorModuleInfo& info) override;
  bool EnumerateModules(std::vector<std::uintptr_t>& handles) override;
};
