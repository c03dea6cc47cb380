// The size estimate of an exported procedure, read from its code a block at a
// time.
#include "reporter/debugdata/MemoryReader.h"

std::uint32_t EstimateProcedureSize(TVexlorMemoryReader& memory, std::uintptr_t start,
                                    std::uintptr_t codeEnd) {
  // Read in blocks: a module's exports are scanned one after the other, and
  // a framed procedure may be scanned far past its end. A block that cannot
  // be read whole is read byte by byte, so the scan stops where it did.
  constexpr std::uintptr_t kBlock = 4096;
  std::uint8_t block[kBlock];
  std::uintptr_t blockStart = 0, blockEnd = 0;
  auto byteAt = [&](std::uintptr_t at, std::uint8_t& value) {
    if (at >= codeEnd) return false;
    if (at >= blockStart && at < blockEnd) {
      value = block[at - blockStart];
      return true;
    }
    const std::uintptr_t size = codeEnd - at < kBlock ? codeEnd - at : kBlock;
    if (memory.IsValid(at, size) && memory.Read(at, block, size)) {
      blockStart = at;
      blockEnd = at + size;
      value = block[0];
      return true;
    }
    blockStart = blockEnd = 0;
    return memory.Read(at, &value, 1);
  };
  auto isReturn = [](std::uint8_t b) { return b == 0xC3 || b == 0xC2; };
  std::uint8_t first = 0;
  if (!byteAt(start, first)) return 1;
  const bool framed = first == 0x55;
  if (!framed && isReturn(first)) return 0;
  std::uint8_t previous = first;
  for (std::uintptr_t at = start + 1; at < codeEnd && at - start < 0x100000; ++at) {
    std::uint8_t b = 0;
    if (!byteAt(at, b)) return 1;
    if (isReturn(b) && (!framed || previous == 0x5D || previous == 0xC9))
      return static_cast<std::uint32_t>(at - start);
    previous = b;
  }
  return 1;
}
