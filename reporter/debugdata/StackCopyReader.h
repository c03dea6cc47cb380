// Memory as a thread's stack stood when it was copied: reads of the copied
// range [Origin, Origin + Size) come from the copy, everything else from the
// process. A freeze report is built from such a copy while the frozen thread
// runs on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "reporter/debugdata/MemoryReader.h"

class TStackCopyReader : public TVexlorMemoryReader {
 public:
  TStackCopyReader(TVexlorMemoryReader& process, std::uintptr_t origin, const void* copy,
                   std::size_t size)
      : process_(process),
        origin_(origin),
        copy_(static_cast<const std::uint8_t*>(copy)),
        size_(size) {}

  bool IsValid(std::uintptr_t address, std::size_t count) override {
    return InCopy(address, count) || process_.IsValid(address, count);
  }
  bool Read(std::uintptr_t address, void* buffer, std::size_t count) override {
    if (!InCopy(address, count)) return process_.Read(address, buffer, count);
    std::memcpy(buffer, copy_ + (address - origin_), count);
    return true;
  }

 private:
  bool InCopy(std::uintptr_t address, std::size_t count) const {
    return address >= origin_ && count <= size_ && address - origin_ <= size_ - count;
  }

  TVexlorMemoryReader& process_;
  std::uintptr_t origin_;
  const std::uint8_t* copy_;
  std::size_t size_;
};
