// Feeds arbitrary bytes to every reader of module data: the debug data
// decoder (lookups, names, units), the reporter data container in both forms
// with the real options reader, and the stack scan and the unwinder over
// memory made of them.
#include <cstring>
#include <vector>

#include "reporter/config/ModuleOptions.h"
#include "reporter/debugdata/DebugData.h"
#include "reporter/debugdata/FrameWalk.h"
#include "reporter/debugdata/ReporterData.h"
#include "reporter/debugdata/StackWalk.h"
#include "runtime/Streams.h"

namespace {

bool ReadOptions(const std::uint8_t* data, std::size_t size, std::uint16_t version,
                 std::size_t& consumed) {
  try {
    TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    SetCurrentOptionsStreamVersion(version);
    TVexlorModuleOptions options("", false);
    options.LoadFromStream(stream);
    consumed = static_cast<std::size_t>(stream.Position());
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// The input as memory at two places: a "stack" and "code" holding the same
// bytes, so stack values can point into it.
class TFuzzMemory : public TVexlorMemoryReader {
 public:
  TFuzzMemory(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}
  static constexpr std::uintptr_t kStack = 0x10000, kCode = 0x400000;
  bool IsValid(std::uintptr_t address, std::size_t count) override {
    return Find(address, count) != nullptr;
  }
  bool Read(std::uintptr_t address, void* buffer, std::size_t count) override {
    const std::uint8_t* at = Find(address, count);
    if (at == nullptr) return false;
    std::memcpy(buffer, at, count);
    return true;
  }

 private:
  const std::uint8_t* Find(std::uintptr_t address, std::size_t count) const {
    for (std::uintptr_t base : {kStack, kCode})
      if (address >= base && address - base <= FSize && count <= FSize - (address - base))
        return FData + (address - base);
    return nullptr;
  }
  const std::uint8_t* FData;
  std::size_t FSize;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (std::uint16_t version : {std::uint16_t(404), std::uint16_t(422), std::uint16_t(458)}) {
    TVexlorDebugInfo info;
    for (std::uintptr_t address : {0x401000u, 0x401010u, 0x402345u, 0x4FFFFFu})
      LookupDebugData(data, size, version, 0x400000, address, info);
    FindProcedureOffset(data, size, version, "Unit.Class.Method");
    std::vector<TVexlorDebugInfo> callers;
    LookupInlineCallers(data, size, version, 0x400000, 0x401010, callers);
    ForEachDebugUnit(data, size, version, [](const TDebugUnit&) { return true; });
  }
  TReporterData reporterData;
  ReadReporterResource(data, size, ReadOptions, reporterData, 1u << 20);
  auto readAt = [&](std::uint64_t offset, std::size_t count, std::uint8_t* buffer) {
    if (offset > size || count > size - offset) return false;
    std::memcpy(buffer, data + offset, count);
    return true;
  };
  ReadReporterFileTail(size, readAt, ReadOptions, reporterData);
  if (size >= 16) {
    TFuzzMemory memory(data, size);
    WalkStack(
        memory,
        [](std::uintptr_t address) {
          TVexlorDebugInfo i;
          i.Address = address;
          return i;
        },
        TFuzzMemory::kCode, TFuzzMemory::kStack, TFuzzMemory::kStack + size - 8);
    // The unwinder over the same bytes as stack and as an image.
    TFrameRegisters start;
    start.Rip = TFuzzMemory::kCode + (data[0] % size);
    start.Set(kRegisterRsp, TFuzzMemory::kStack);
    WalkFrameAddresses(memory,
                       [](std::uintptr_t address) {
                         return address >= TFuzzMemory::kCode ? TFuzzMemory::kCode : 0;
                       },
                       start, {TFuzzMemory::kStack + size, 256});
  }
  return 0;
}
