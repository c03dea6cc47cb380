// The screenshot's file format: an 8-bit indexed PNG written chunk by chunk
// while the pixels are compressed (zlib level 9), so that no more than one
// chunk of compressed data is held at a time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

// The largest "IDAT" chunk written; a longer stream is split.
inline constexpr std::size_t kMaxIdatSize = 0x3FFFF;

// The PNG CRC-32 of the bytes (reflected polynomial 0xEDB88320).
std::uint32_t PngCrc32(std::string_view bytes);

struct TIndexedImage {
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  std::array<std::uint8_t, 768> Palette{};  // 256 entries of red, green, blue
  // The palette indices of one pixel row, counted from the top: Width bytes.
  std::function<const std::uint8_t*(std::uint32_t row)> Row;
};

// Writes signature, IHDR, PLTE, the IDAT chunks and IEND through `write`,
// which raises when it cannot write. Raises Exception when the compressor
// fails.
void WriteIndexedPng(const TIndexedImage& image,
                     const std::function<void(std::string_view bytes)>& write);
