// A read-only stream over memory given by a pointer: module headers,
// resources and the image read in place, without copying them to the heap
// (which may be damaged when the reporter runs).
#pragma once

#include <cstdint>

#include "reporter/debugdata/MemoryReader.h"
#include "runtime/Streams.h"

class THModuleStream : public TStream {
 public:
  // The size is unbounded unless given. With a memory reader every read is
  // tested first and memory that cannot be read ends the stream there;
  // without one the caller vouches for the memory.
  explicit THModuleStream(const void* memory, std::int64_t size = 0x7FFFFFFF,
                          TVexlorMemoryReader* reader = nullptr)
      : FMemory(reinterpret_cast<std::uintptr_t>(memory)), FSize(size), FReader(reader) {}

  std::int64_t Read(void* buffer, std::int64_t count) override;
  // Writing and resizing raise EWriteError / EStreamError: the memory is a
  // module's image.
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() const override { return FSize; }
  void SetSize(std::int64_t size) override;

 private:
  std::uintptr_t FMemory;
  std::int64_t FSize;
  std::int64_t FPosition = 0;
  TVexlorMemoryReader* FReader;
};
