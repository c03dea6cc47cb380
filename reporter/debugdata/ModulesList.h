// The registry of loaded modules. The logic is portable; what the system knows
// about a module comes through TVexlorModuleSource, so that the Win32 side
// stays thin and the list can be tested with a scripted source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "reporter/debugdata/ModuleInfo.h"

class TVexlorModuleSource {
 public:
  virtual ~TVexlorModuleSource() = default;
  // The module's full file name as the system reports it; false once the
  // module is unloaded (or the handle never was a module).
  virtual bool ModuleFileName(std::uintptr_t handle, std::string& fileName) = 0;
  // Description, version text and file size (0 when not found).
  virtual void DescribeFile(const std::string& fileName, TVexlorModuleInfo& info) = 0;
  virtual std::uint8_t ModuleKind(std::uintptr_t handle) = 0;
  virtual void BuildExportsList(std::uintptr_t handle, TVexlorFunctionsList& list) = 0;
  // Fills version, stamp, options and debug data; false when the module
  // carries no reporter data.
  virtual bool LoadDebugInformation(TVexlorModuleInfo& info) = 0;
  // Creates the record's options object for its file name.
  virtual void CreateOptions(TVexlorModuleInfo& info) = 0;
  // Handles of the loaded modules; false when no enumeration is available.
  virtual bool EnumerateModules(std::vector<std::uintptr_t>& handles) = 0;
};

class TVexlorModulesList {
 public:
  explicit TVexlorModulesList(TVexlorModuleSource& source) : FSource(source) {}

  std::size_t Count() const { return FItems.size(); }
  TVexlorModuleInfo& Items(std::size_t index) const { return *FItems.at(index); }
  void Delete(std::size_t index);
  void Clear() { FItems.clear(); }

  // The record of a module, built in full on demand; null for a null handle
  // or a module that cannot be described. A light record found here is
  // rebuilt in full (in place, so pointers to it stay valid), except while an
  // enumeration runs.
  TVexlorModuleInfo* FindModuleInfo(std::uintptr_t handle);
  // Builds and appends the record of a module (light during an enumeration).
  bool AddModuleInfo(std::uintptr_t handle);
  // Drops unloaded modules, adds new ones as light records, sorts by handle.
  void GetModulesList();

 private:
  std::ptrdiff_t IndexOf(std::uintptr_t handle) const;
  std::unique_ptr<TVexlorModuleInfo> BuildModuleInfo(std::uintptr_t handle);

  TVexlorModuleSource& FSource;
  std::vector<std::unique_ptr<TVexlorModuleInfo>> FItems;
  bool FLightEnumeration = false;
};

// A module file name as the report shows it: a device-path prefix in front of
// the drive letter ("\??\C:\...", "\\?\C:\...") is dropped.
std::string StripDevicePathPrefix(const std::string& fileName);
