// Reading, seeking and the refusals of the read-only module stream.
#include "reporter/debugdata/ModuleStream.h"

#include <cstring>

std::int64_t THModuleStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0 || FPosition >= FSize) return 0;
  if (count > FSize - FPosition) count = FSize - FPosition;
  const std::uintptr_t at = FMemory + static_cast<std::uintptr_t>(FPosition);
  if (FReader != nullptr) {
    if (!FReader->Read(at, buffer, static_cast<std::size_t>(count))) return 0;
  } else {
    std::memcpy(buffer, reinterpret_cast<const void*>(at), static_cast<std::size_t>(count));
  }
  FPosition += count;
  return count;
}

std::int64_t THModuleStream::Write(const void*, std::int64_t) {
  throw EWriteError("THModuleStream is read-only");
}

std::int64_t THModuleStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = FPosition;
  if (origin == TSeekOrigin::soEnd) base = FSize;
  if (offset < -base) throw EStreamError("THModuleStream: seek before the start");
  FPosition = base + offset;
  return FPosition;
}

void THModuleStream::SetSize(std::int64_t) {
  throw EStreamError("THModuleStream cannot change its size");
}
