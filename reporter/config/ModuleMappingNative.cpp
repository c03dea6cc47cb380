// Module mappings on a Linux host: named blocks that live as long as a handle
// to them is open, shared by everything in this process, like the named
// kernel objects they stand for.
#include <unistd.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "reporter/config/ModuleMapping.h"
#include "reporter/config/ReporterLock.h"
#include "reporter/config/TracePlatform.h"

extern "C" char __executable_start;

namespace {

struct TBlock {
  std::vector<std::uint8_t> bytes;
  int handles = 0;
};

struct THandle {
  std::string name;
  std::shared_ptr<TBlock> block;
};

TVexlorLock registryLock;
std::map<std::string, std::shared_ptr<TBlock>>& Registry() {
  static auto* registry = new std::map<std::string, std::shared_ptr<TBlock>>;
  return *registry;
}

}  // namespace

TModuleMappingHandle OpenOrCreateModuleMapping(std::uintptr_t moduleHandle, std::string_view suffix,
                                               std::uint32_t dataSize, std::uint8_t** data) {
  *data = nullptr;
  if (dataSize > 0xFFFFFFFFu - 4) return nullptr;
  std::string name = ModuleMappingName(ThisProcessId(), moduleHandle, suffix);
  std::lock_guard<TVexlorLock> guard(registryLock);
  auto found = Registry().find(name);
  std::shared_ptr<TBlock> block;
  if (found != Registry().end()) {
    block = found->second;
    std::uint32_t total = 0;
    std::memcpy(&total, block->bytes.data(), 4);
    if (total < 4 || total > block->bytes.size()) return nullptr;
  } else {
    if (dataSize == 0) return nullptr;
    block = std::make_shared<TBlock>();
    block->bytes.assign(dataSize + 4u, 0);
    std::uint32_t total = dataSize + 4;
    std::memcpy(block->bytes.data(), &total, 4);
    Registry()[name] = block;
  }
  ++block->handles;
  *data = block->bytes.data() + 4;
  return new THandle{name, block};
}

void CloseModuleMapping(TModuleMappingHandle handle, std::uint8_t*) {
  if (!handle) return;
  std::unique_ptr<THandle> owned(static_cast<THandle*>(handle));
  std::lock_guard<TVexlorLock> guard(registryLock);
  if (--owned->block->handles == 0) Registry().erase(owned->name);
}

std::uintptr_t ThisModuleHandle() {
  return reinterpret_cast<std::uintptr_t>(&__executable_start);
}

std::uint32_t ThisProcessId() {
  return static_cast<std::uint32_t>(getpid());
}

bool IsThisModuleFile(const std::string& fileName) {
  return !fileName.empty() && fileName == PlatformExecutablePath();
}
