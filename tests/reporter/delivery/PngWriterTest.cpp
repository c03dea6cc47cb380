// The screenshot's PNG, decoded by an independent decoder (Python's zlib and
// a few lines of chunk reading) and compared pixel by pixel.
#include "reporter/delivery/PngWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

struct TDecoded {
  std::string Facts;  // the decoder's JSON line
  std::string Rgb;
};

TDecoded WriteAndDecode(const TIndexedImage& image) {
  const auto dir = std::filesystem::temp_directory_path();
  const auto png = dir / ("vexlor-png-" + std::to_string(::getpid()) + ".png");
  const auto rgb = dir / ("vexlor-png-" + std::to_string(::getpid()) + ".rgb");
  {
    std::ofstream file(png, std::ios::binary);
    WriteIndexedPng(image, [&](std::string_view bytes) { file.write(bytes.data(), bytes.size()); });
  }
  const std::string command =
      "python3 " VEXLOR_DELIVERY_TEST_DIR "/png-decode.py " + png.string() + " " + rgb.string();
  TDecoded decoded;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
      decoded.Facts.append(buffer, n);
    ::pclose(pipe);
  }
  std::ifstream in(rgb, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  decoded.Rgb = bytes.str();
  std::filesystem::remove(png);
  std::filesystem::remove(rgb);
  return decoded;
}

std::string ExpectedRgb(const TIndexedImage& image) {
  std::string out;
  for (std::uint32_t row = 0; row < image.Height; ++row) {
    const std::uint8_t* indices = image.Row(row);
    for (std::uint32_t x = 0; x < image.Width; ++x)
      out.append(reinterpret_cast<const char*>(&image.Palette[indices[x] * 3]), 3);
  }
  return out;
}

}  // namespace

TEST(PngWriter, CrcOfTheStandardCheckString) {
  EXPECT_EQ(PngCrc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(PngCrc32("IEND"), 0xAE426082u);
}

TEST(PngWriter, OddWidthPictureDecodesToTheSamePixels) {
  // 13 x 7: rows are not a multiple of 4 wide.
  TIndexedImage image;
  image.Width = 13;
  image.Height = 7;
  for (int i = 0; i < 256; ++i) {
    image.Palette[i * 3] = static_cast<std::uint8_t>(i);
    image.Palette[i * 3 + 1] = static_cast<std::uint8_t>(255 - i);
    image.Palette[i * 3 + 2] = static_cast<std::uint8_t>(i * 7);
  }
  std::vector<std::uint8_t> pixels(13 * 7);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 37);
  image.Row = [&](std::uint32_t row) { return pixels.data() + row * 13; };
  const TDecoded decoded = WriteAndDecode(image);
  EXPECT_NE(decoded.Facts.find("\"width\": 13, \"height\": 7"), std::string::npos) << decoded.Facts;
  EXPECT_NE(decoded.Facts.find("[\"IHDR\", \"PLTE\", \"IDAT\", \"IEND\"]"), std::string::npos);
  EXPECT_EQ(decoded.Rgb, ExpectedRgb(image));
}

TEST(PngWriter, LongStreamsSplitIntoFullIdatChunks) {
  // Noise does not compress: about 1 MB of deflate output.
  TIndexedImage image;
  image.Width = 1024;
  image.Height = 1000;
  for (int i = 0; i < 768; ++i) image.Palette[i] = static_cast<std::uint8_t>(i / 3);
  std::vector<std::uint8_t> pixels(image.Width * image.Height);
  std::mt19937 random(7);
  for (auto& p : pixels) p = static_cast<std::uint8_t>(random());
  image.Row = [&](std::uint32_t row) { return pixels.data() + row * image.Width; };
  const TDecoded decoded = WriteAndDecode(image);
  EXPECT_NE(decoded.Facts.find("\"idat\": [262143, 262143, 262143, "), std::string::npos)
      << decoded.Facts;
  EXPECT_EQ(decoded.Rgb, ExpectedRgb(image));
}
