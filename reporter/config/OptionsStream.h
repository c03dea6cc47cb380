// The primitives of the options stream: little-endian integers, one-byte
// booleans, and strings as a signed 32-bit length followed by the bytes, each
// XOR 0xA7. The reader trusts nothing it reads: a length beyond the data or
// below zero raises EReadError before anything is allocated.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/Streams.h"

constexpr std::uint8_t kOptionsStringKey = 0xA7;

class TOptionsWriter {
 public:
  explicit TOptionsWriter(TStream& stream) : stream_(stream) {}
  void Byte(std::uint8_t value) { stream_.WriteBuffer(&value, 1); }
  void Bool(bool value) { Byte(value ? 1 : 0); }
  void U16(std::uint16_t value);
  void I32(std::int32_t value);
  void U32(std::uint32_t value);
  // One final CR LF of a text longer than one character is not stored.
  void String(const std::string& text);

 private:
  TStream& stream_;
};

class TOptionsReader {
 public:
  explicit TOptionsReader(TStream& stream) : stream_(stream) {}
  std::uint8_t Byte();
  bool Bool() { return Byte() != 0; }
  std::uint16_t U16();
  std::int32_t I32();
  std::uint32_t U32();
  std::string String();
  // A count of entries that each take at least minBytes: checked against the
  // bytes left before the caller reserves anything.
  std::int32_t Count(std::int64_t minBytes);

 private:
  void Bytes(void* buffer, std::int64_t count, const char* what);
  TStream& stream_;
};

// The stored form of a text, without its key: the final-CR-LF rule applied.
std::string StoredOptionsText(const std::string& text);
