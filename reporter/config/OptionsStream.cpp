// Writing and checked reading of the options stream's primitives.
#include "reporter/config/OptionsStream.h"

#include <cstring>

namespace {

void PutLE(TStream& stream, std::uint64_t value, int size) {
  std::uint8_t bytes[8];
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  stream.WriteBuffer(bytes, size);
}

}  // namespace

std::string StoredOptionsText(const std::string& text) {
  // Only a pair that is the first CR LF of the text and ends it is dropped, so
  // a multi-line text keeps its final line break.
  if (text.size() > 1 && text.find("\r\n") == text.size() - 2)
    return text.substr(0, text.size() - 2);
  return text;
}

void TOptionsWriter::U16(std::uint16_t value) {
  PutLE(stream_, value, 2);
}
void TOptionsWriter::I32(std::int32_t value) {
  PutLE(stream_, static_cast<std::uint32_t>(value), 4);
}
void TOptionsWriter::U32(std::uint32_t value) {
  PutLE(stream_, value, 4);
}

void TOptionsWriter::String(const std::string& text) {
  std::string stored = StoredOptionsText(text);
  if (stored.size() > 0x7FFFFFFF) throw EWriteError("Options text too long to store");
  I32(static_cast<std::int32_t>(stored.size()));
  for (char& c : stored) c = static_cast<char>(c ^ kOptionsStringKey);
  stream_.WriteBuffer(stored.data(), static_cast<std::int64_t>(stored.size()));
}

void TOptionsReader::Bytes(void* buffer, std::int64_t count, const char* what) {
  std::int64_t at = stream_.Position();
  if (stream_.Read(buffer, count) != count)
    throw EReadError("Damaged options stream: it ends inside " + std::string(what) + " at offset " +
                     std::to_string(at));
}

std::uint8_t TOptionsReader::Byte() {
  std::uint8_t value = 0;
  Bytes(&value, 1, "a one-byte field");
  return value;
}

std::uint16_t TOptionsReader::U16() {
  std::uint8_t b[2];
  Bytes(b, 2, "a 16-bit field");
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t TOptionsReader::U32() {
  std::uint8_t b[4];
  Bytes(b, 4, "a 32-bit field");
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::int32_t TOptionsReader::I32() {
  return static_cast<std::int32_t>(U32());
}

std::int32_t TOptionsReader::Count(std::int64_t minBytes) {
  std::int64_t at = stream_.Position();
  std::int32_t count = I32();
  if (count < 0 || count > stream_.Remaining() / minBytes)
    throw EReadError("Damaged options stream: count " + std::to_string(count) + " at offset " +
                     std::to_string(at) + " does not fit the data");
  return count;
}

std::string TOptionsReader::String() {
  std::int64_t at = stream_.Position();
  std::int32_t length = I32();
  if (length < 0 || length > stream_.Remaining())
    throw EReadError("Damaged options stream: string length " + std::to_string(length) +
                     " at offset " + std::to_string(at) + " does not fit the data");
  std::string text(static_cast<std::size_t>(length), '\0');
  Bytes(text.data(), length, "a string");
  for (char& c : text) c = static_cast<char>(c ^ kOptionsStringKey);
  return text;
}
