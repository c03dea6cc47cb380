// The PNG chunks and their CRC, and the indexed image deflated row by row into
// IDAT chunks as the compressed data fills them.
#include "reporter/delivery/PngWriter.h"

#include <zlib.h>

#include <memory>
#include <string>

#include "runtime/Exceptions.h"

namespace {

constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}();

std::uint32_t UpdateCrc(std::uint32_t crc, std::string_view bytes) {
  for (char b : bytes) crc = kCrcTable[(crc ^ static_cast<unsigned char>(b)) & 0xFF] ^ (crc >> 8);
  return crc;
}

void Put32(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value >> 24);
  out += static_cast<char>((value >> 16) & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
  out += static_cast<char>(value & 0xFF);
}

void WriteChunk(const std::function<void(std::string_view)>& write, std::string_view type,
                std::string_view data) {
  std::string head;
  Put32(head, static_cast<std::uint32_t>(data.size()));
  head += type;
  write(head);
  if (!data.empty()) write(data);
  std::string tail;
  Put32(tail, UpdateCrc(UpdateCrc(0xFFFFFFFFu, type), data) ^ 0xFFFFFFFFu);
  write(tail);
}

// Ends the deflate stream whatever happens.
struct TDeflateStream {
  z_stream z{};
  bool open = false;
  ~TDeflateStream() {
    if (open) deflateEnd(&z);
  }
};

}  // namespace

std::uint32_t PngCrc32(std::string_view bytes) {
  return UpdateCrc(0xFFFFFFFFu, bytes) ^ 0xFFFFFFFFu;
}

void WriteIndexedPng(const TIndexedImage& image,
                     const std::function<void(std::string_view bytes)>& write) {
  write(std::string_view("\x89PNG\r\n\x1A\n", 8));
  std::string header;
  Put32(header, image.Width);
  Put32(header, image.Height);
  header += std::string_view("\x08\x03\x00\x00\x00", 5);
  WriteChunk(write, "IHDR", header);
  WriteChunk(write, "PLTE",
             std::string_view(reinterpret_cast<const char*>(image.Palette.data()), 768));

  TDeflateStream stream;
  if (deflateInit(&stream.z, 9) != Z_OK) throw Exception("Cannot compress the screenshot.");
  stream.open = true;
  auto buffer = std::make_unique<unsigned char[]>(kMaxIdatSize);
  stream.z.next_out = buffer.get();
  stream.z.avail_out = kMaxIdatSize;
  const auto flushFull = [&] {
    if (stream.z.avail_out != 0) return;
    WriteChunk(write, "IDAT",
               std::string_view(reinterpret_cast<char*>(buffer.get()), kMaxIdatSize));
    stream.z.next_out = buffer.get();
    stream.z.avail_out = kMaxIdatSize;
  };
  const auto feed = [&](const unsigned char* data, std::size_t size) {
    stream.z.next_in = const_cast<unsigned char*>(data);
    stream.z.avail_in = static_cast<uInt>(size);
    while (stream.z.avail_in != 0) {
      if (deflate(&stream.z, Z_NO_FLUSH) == Z_STREAM_ERROR)
        throw Exception("Cannot compress the screenshot.");
      flushFull();
    }
  };
  static constexpr unsigned char kNoFilter = 0;
  for (std::uint32_t row = 0; row < image.Height; ++row) {
    feed(&kNoFilter, 1);
    feed(image.Row(row), image.Width);
  }
  for (;;) {
    const int status = deflate(&stream.z, Z_FINISH);
    if (status == Z_STREAM_END) break;
    if (status != Z_OK) throw Exception("Cannot compress the screenshot.");
    flushFull();
  }
  if (const std::size_t used = kMaxIdatSize - stream.z.avail_out; used != 0)
    WriteChunk(write, "IDAT", std::string_view(reinterpret_cast<char*>(buffer.get()), used));
  WriteChunk(write, "IEND", {});
}
