// The streams' whole-count reads and writes, copying, the memory stream, and
// the file stream over the C library's files.
#include "runtime/Streams.h"

#include <algorithm>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
  if (count < 0 || (count != 0 && Read(buffer, count) != count))
    throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
  if (count < 0 || (count != 0 && Write(buffer, count) != count))
    throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::int64_t>(count, 65536)));
  for (std::int64_t left = count; left > 0;) {
    std::int64_t part = std::min<std::int64_t>(left, static_cast<std::int64_t>(chunk.size()));
    source.ReadBuffer(chunk.data(), part);
    WriteBuffer(chunk.data(), part);
    left -= part;
  }
  return count;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  std::int64_t available = std::max<std::int64_t>(0, Size() - position_);
  std::int64_t n = std::clamp<std::int64_t>(count, 0, available);
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  std::int64_t end = position_ + count;
  if (end > Size()) bytes_.resize(static_cast<std::size_t>(end));
  std::memcpy(bytes_.data() + position_, buffer, static_cast<std::size_t>(count));
  position_ = end;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                      : origin == TSeekOrigin::soCurrent ? position_
                                                         : Size();
  if (base + offset < 0) throw EStreamError("Seek before the start of the stream");
  position_ = base + offset;
  return position_;
}

void TMemoryStream::SetSize(std::int64_t size) {
  if (size < 0) throw EStreamError("Negative stream size");
  bytes_.resize(static_cast<std::size_t>(size));
  position_ = std::min(position_, size);
}

void TMemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, TFileStream::TMode::fmOpenRead);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
  file.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  bytes_ = std::move(bytes);
  position_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
  TFileStream file(fileName, TFileStream::TMode::fmCreate);
  file.WriteBuffer(bytes_.data(), Size());
}

TFileStream::TFileStream(const std::string& fileName, TMode mode) : fileName_(fileName) {
  const char* how = mode == TMode::fmCreate ? "w+b" : mode == TMode::fmOpenRead ? "rb" : "r+b";
  file_ = std::fopen(fileName.c_str(), how);
  if (!file_) {
    if (mode == TMode::fmCreate) throw EFCreateError("Cannot create file \"" + fileName + "\"");
    throw EFOpenError("Cannot open file \"" + fileName + "\"");
  }
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  return static_cast<std::int64_t>(std::fread(buffer, 1, static_cast<std::size_t>(count), file_));
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  return static_cast<std::int64_t>(std::fwrite(buffer, 1, static_cast<std::size_t>(count), file_));
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
               : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                  : SEEK_END;
#if defined(_WIN32)
  if (_fseeki64(file_, offset, whence) != 0) throw EStreamError("Seek failed: " + fileName_);
  return _ftelli64(file_);
#else
  if (fseeko(file_, offset, whence) != 0) throw EStreamError("Seek failed: " + fileName_);
  return ftello(file_);
#endif
}

std::int64_t TFileStream::Size() const {
  // ftell/fseek rather than a path query: the 8-bit name needs no conversion.
  auto* self = const_cast<TFileStream*>(this);
  std::int64_t position = self->Seek(0, TSeekOrigin::soCurrent);
  std::int64_t size = self->Seek(0, TSeekOrigin::soEnd);
  self->Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TFileStream::SetSize(std::int64_t size) {
  std::fflush(file_);
#if defined(_WIN32)
  bool ok = _chsize_s(_fileno(file_), size) == 0;
#else
  bool ok = ftruncate(fileno(file_), static_cast<off_t>(size)) == 0;
#endif
  if (!ok) throw EStreamError("Cannot set the size of \"" + fileName_ + "\"");
  if (Position() > size) SetPosition(size);
}
