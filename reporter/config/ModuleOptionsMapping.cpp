// This module's own options block and reading the blocks of other modules.
#include <cstring>
#include <mutex>

#include "reporter/config/ModuleMapping.h"
#include "reporter/config/ReporterLock.h"
#include "reporter/config/TraceFormat.h"

namespace {

void WithdrawHalfWritten(void* block);

struct TOwnBlock {
  TVexlorLock lock{&WithdrawHalfWritten, this};
  TModuleMappingHandle handle = nullptr;
  std::uint8_t* data = nullptr;
};

TOwnBlock& Own() {
  static auto* block = new TOwnBlock;  // outlives every static destructor
  return *block;
}

// The holder may have ended while copying the stream into the block: other
// modules must not read it until it is published again whole.
void WithdrawHalfWritten(void* block) {
  auto* own = static_cast<TOwnBlock*>(block);
  if (own->handle && own->data) own->data[0] = 0;
}

void CloseLocked(TOwnBlock& own) {
  CloseModuleMapping(own.handle, own.data);
  own.handle = nullptr;
  own.data = nullptr;
}

}  // namespace

std::string ModuleMappingName(std::uint32_t processId, std::uintptr_t moduleHandle,
                              std::string_view suffix) {
  return HexDigits(processId, 8) + HexDigits(moduleHandle, 16) + std::string(suffix);
}

std::uint32_t ModuleMappingDataSize(const std::uint8_t* data) {
  std::uint32_t total = 0;
  std::memcpy(&total, data - 4, 4);
  return total >= 4 ? total - 4 : 0;
}

bool CreateOwnModuleOptionsMapping() {
  TOwnBlock& own = Own();
  std::lock_guard<TVexlorLock> guard(own.lock);
  CloseLocked(own);
  own.handle = OpenOrCreateModuleMapping(ThisModuleHandle(), kModuleOptionsSuffix, 1, &own.data);
  if (!own.handle) return false;
  own.data[0] = 0;
  return true;
}

bool PublishOwnModuleOptions(const std::vector<std::uint8_t>& optionsStream) {
  TOwnBlock& own = Own();
  std::lock_guard<TVexlorLock> guard(own.lock);
  CloseLocked(own);
  if (optionsStream.size() > 0x7FFFFFF0u) return false;
  auto size = static_cast<std::uint32_t>(optionsStream.size() + 1);
  own.handle = OpenOrCreateModuleMapping(ThisModuleHandle(), kModuleOptionsSuffix, size, &own.data);
  if (!own.handle) return false;
  // A reader that still holds the old block keeps it alive at its old size;
  // a stream that does not fit is not published rather than written past it.
  if (ModuleMappingDataSize(own.data) < size) {
    own.data[0] = 0;
    return false;
  }
  own.data[0] = 1;
  std::memcpy(own.data + 1, optionsStream.data(), optionsStream.size());
  return true;
}

void CloseOwnModuleOptionsMapping() {
  TOwnBlock& own = Own();
  std::lock_guard<TVexlorLock> guard(own.lock);
  CloseLocked(own);
}

bool ReadPublishedModuleOptions(std::uintptr_t moduleHandle, std::vector<std::uint8_t>& stream) {
  std::uint8_t* data = nullptr;
  TModuleMappingHandle handle =
      OpenOrCreateModuleMapping(moduleHandle, kModuleOptionsSuffix, 0, &data);
  if (!handle) return false;
  std::uint32_t size = ModuleMappingDataSize(data);
  bool published = size >= 1 && data[0] == 1;
  if (published) stream.assign(data + 1, data + size);
  CloseModuleMapping(handle, data);
  return published;
}
