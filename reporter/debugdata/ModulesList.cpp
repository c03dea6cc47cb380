// Building, refreshing and finding module records; a light enumeration takes
// names only, and a record is completed in place when first looked up.
#include "reporter/debugdata/ModulesList.h"

#include <algorithm>

std::string StripDevicePathPrefix(const std::string& fileName) {
  const std::size_t question = fileName.find('?');
  if (question == std::string::npos) return fileName;
  const std::size_t colon = fileName.find(':', question);
  if (colon == std::string::npos || colon == 0) return fileName;
  return fileName.substr(colon - 1);
}

void TVexlorModulesList::Delete(std::size_t index) {
  if (index < FItems.size()) FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(index));
}

std::ptrdiff_t TVexlorModulesList::IndexOf(std::uintptr_t handle) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i]->Handle == handle) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

TVexlorModuleInfo* TVexlorModulesList::FindModuleInfo(std::uintptr_t handle) {
  if (handle == 0) return nullptr;
  const std::ptrdiff_t index = IndexOf(handle);
  if (index >= 0) {
    TVexlorModuleInfo* found = FItems[static_cast<std::size_t>(index)].get();
    if (found->ModuleKind != mkNotDetermined || FLightEnumeration) return found;
    // A record from an enumeration lacks exports, kind and debug data. It is
    // rebuilt in place: items resolved before may point to it.
    std::unique_ptr<TVexlorModuleInfo> full = BuildModuleInfo(handle);
    if (full) *found = std::move(*full);
    return found;
  }
  if (FLightEnumeration) return nullptr;
  if (!AddModuleInfo(handle)) return nullptr;
  return FItems.back().get();
}

bool TVexlorModulesList::AddModuleInfo(std::uintptr_t handle) {
  std::unique_ptr<TVexlorModuleInfo> info = BuildModuleInfo(handle);
  if (!info) return false;
  FItems.push_back(std::move(info));
  return true;
}

std::unique_ptr<TVexlorModuleInfo> TVexlorModulesList::BuildModuleInfo(std::uintptr_t handle) {
  std::string fileName;
  if (!FSource.ModuleFileName(handle, fileName) || fileName.empty()) return nullptr;
  auto info = std::make_unique<TVexlorModuleInfo>();
  info->Handle = handle;
  info->FileName = StripDevicePathPrefix(fileName);
  FSource.DescribeFile(info->FileName, *info);
  if (!FLightEnumeration) {
    FSource.BuildExportsList(handle, info->FunctionsList);
    std::sort(info->FunctionsList.begin(), info->FunctionsList.end(),
              [](const TVexlorFunctionInfo& a, const TVexlorFunctionInfo& b) {
                return a.Address < b.Address;
              });
    info->ModuleKind = FSource.ModuleKind(handle);
  }
  FSource.CreateOptions(*info);
  if (FLightEnumeration || !FSource.LoadDebugInformation(*info)) {
    info->DebugVersion = kVexlorDataVersion;
    info->DebugStamp = 0;
    info->DebugData.clear();
  }
  info->DebugUnitIndex.clear();
  if (info->HasDebugData())
    BuildDebugUnitIndex(info->DebugData.data(), info->DebugData.size(), info->DebugVersion,
                        info->DebugUnitIndex);
  return info;
}

void TVexlorModulesList::GetModulesList() {
  std::vector<std::uintptr_t> handles;
  const bool enumerated = FSource.EnumerateModules(handles);
  // A record goes once its module is gone: neither named by the system nor
  // enumerated. While another thread holds the loader (a thread ending, a
  // library starting) the system may answer neither question, and the records
  // built before are all the report has.
  std::string fileName;
  for (std::size_t i = FItems.size(); i-- > 0;) {
    const std::uintptr_t handle = FItems[i]->Handle;
    if (FSource.ModuleFileName(handle, fileName)) continue;
    if (enumerated && std::find(handles.begin(), handles.end(), handle) == handles.end()) Delete(i);
  }
  struct LightScope {
    bool& flag;
    explicit LightScope(bool& f) : flag(f) { flag = true; }
    ~LightScope() { flag = false; }
  } light(FLightEnumeration);
  for (std::uintptr_t handle : handles)
    if (handle != 0 && IndexOf(handle) < 0) AddModuleInfo(handle);
  std::sort(FItems.begin(), FItems.end(),
            [](const auto& a, const auto& b) { return a->Handle < b->Handle; });
}
