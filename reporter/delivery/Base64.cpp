// The base64 encoder, three bytes to four characters, breaking lines as mail wants.
#include "reporter/delivery/Base64.h"

#include <algorithm>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kBytesPerLine = 60;

}  // namespace

std::string EncodeBase64Lines(std::string_view bytes) {
  std::string out;
  const std::size_t groups = (bytes.size() + 2) / 3;
  const std::size_t lines = (bytes.size() + kBytesPerLine - 1) / kBytesPerLine;
  out.reserve(groups * 4 + lines * 2);
  for (std::size_t line = 0; line < bytes.size(); line += kBytesPerLine) {
    const std::size_t end = std::min(bytes.size(), line + kBytesPerLine);
    for (std::size_t i = line; i < end; i += 3) {
      const std::size_t n = std::min<std::size_t>(3, end - i);
      const unsigned b0 = static_cast<unsigned char>(bytes[i]);
      const unsigned b1 = n > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0;
      const unsigned b2 = n > 2 ? static_cast<unsigned char>(bytes[i + 2]) : 0;
      const unsigned v = (b0 << 16) | (b1 << 8) | b2;
      out += kAlphabet[(v >> 18) & 63];
      out += kAlphabet[(v >> 12) & 63];
      out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
      out += n > 2 ? kAlphabet[v & 63] : '=';
    }
    out += "\r\n";
  }
  return out;
}
