// The capture of the virtual screen into a bitmap with the cursor drawn in, and
// its reduction to 256 colours by the system for the PNG.
#include "reporter/delivery/ScreenCaptureWin.h"

#include <memory>
#include <vector>

#include "reporter/delivery/PngWriter.h"
#include "reporter/delivery/SystemErrorTextWin.h"
#include "runtime/Exceptions.h"

namespace {

struct TFile {
  HANDLE handle;
  ~TFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

// A bitmap header with a 256-entry colour table after it.
struct TIndexedBitmapInfo {
  BITMAPINFOHEADER Header;
  RGBQUAD Colors[256];
};

}  // namespace

void TVexlorScreenCapture::Capture() {
  Release();
  // Every monitor: the player's video sits on the second one.
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  width_ = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  height_ = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (width_ <= 0 || height_ <= 0) {
    width_ = GetSystemMetrics(SM_CXSCREEN);
    height_ = GetSystemMetrics(SM_CYSCREEN);
  }
  display_ = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  if (!display_) return;
  memory_ = CreateCompatibleDC(display_);
  bitmap_ = CreateCompatibleBitmap(display_, width_, height_);
  if (!memory_ || !bitmap_) {
    Release();
    return;
  }
  oldBitmap_ = SelectObject(memory_, bitmap_);
  if (GetDeviceCaps(display_, RASTERCAPS) & RC_PALETTE) {
    auto storage =
        std::make_unique<unsigned char[]>(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY));
    auto* logical = reinterpret_cast<LOGPALETTE*>(storage.get());
    logical->palVersion = 0x300;
    logical->palNumEntries =
        static_cast<WORD>(GetSystemPaletteEntries(display_, 0, 256, logical->palPalEntry));
    if (logical->palNumEntries > 0) {
      palette_ = CreatePalette(logical);
      if (palette_) {
        oldPalette_ = SelectPalette(memory_, palette_, FALSE);
        RealizePalette(memory_);
      }
    }
  }
  BitBlt(memory_, 0, 0, width_, height_, display_, left, top, SRCCOPY | CAPTUREBLT);
  CURSORINFO cursor{};
  cursor.cbSize = sizeof cursor;
  if (GetCursorInfo(&cursor) && (cursor.flags & CURSOR_SHOWING) && cursor.hCursor) {
    DrawIconEx(memory_, cursor.ptScreenPos.x - left, cursor.ptScreenPos.y - top, cursor.hCursor, 32,
               32, 0, nullptr, DI_NORMAL);
  }
}

void TVexlorScreenCapture::Release() {
  if (memory_) {
    if (oldPalette_) SelectPalette(memory_, oldPalette_, FALSE);
    if (oldBitmap_) SelectObject(memory_, oldBitmap_);
  }
  if (palette_) DeleteObject(palette_);
  if (bitmap_) DeleteObject(bitmap_);
  if (memory_) DeleteDC(memory_);
  if (display_) DeleteDC(display_);
  palette_ = nullptr;
  oldPalette_ = nullptr;
  bitmap_ = nullptr;
  oldBitmap_ = nullptr;
  memory_ = nullptr;
  display_ = nullptr;
}

void TVexlorScreenCapture::WritePng(const std::string& fileName) const {
  if (fileName.empty() || !bitmap_) return;
  // The system reduces the picture to 256 colours and fills the table.
  TIndexedBitmapInfo info{};
  info.Header.biSize = sizeof info.Header;
  info.Header.biWidth = width_;
  info.Header.biHeight = height_;  // bottom-up
  info.Header.biPlanes = 1;
  info.Header.biBitCount = 8;
  info.Header.biCompression = BI_RGB;
  info.Header.biClrUsed = 256;
  const std::size_t stride = (static_cast<std::size_t>(width_) + 3) & ~static_cast<std::size_t>(3);
  std::vector<std::uint8_t> pixels(stride * static_cast<std::size_t>(height_));
  // The bitmap may not stay selected while its bits are read.
  HGDIOBJ selected = SelectObject(memory_, oldBitmap_);
  const int rows = GetDIBits(memory_, bitmap_, 0, static_cast<UINT>(height_), pixels.data(),
                             reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  SelectObject(memory_, selected);
  if (rows == 0) throw Exception("Cannot read the screenshot's pixels.");

  TIndexedImage image;
  image.Width = static_cast<std::uint32_t>(width_);
  image.Height = static_cast<std::uint32_t>(height_);
  for (int i = 0; i < 256; ++i) {
    image.Palette[i * 3] = info.Colors[i].rgbRed;
    image.Palette[i * 3 + 1] = info.Colors[i].rgbGreen;
    image.Palette[i * 3 + 2] = info.Colors[i].rgbBlue;
  }
  image.Row = [&](std::uint32_t row) { return pixels.data() + stride * (image.Height - 1 - row); };

  TFile file{CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE)
    throw Exception("Cannot create \"" + fileName + "\": " + SystemErrorText(GetLastError()));
  WriteIndexedPng(image, [&](std::string_view bytes) {
    DWORD written = 0;
    if (!WriteFile(file.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr) ||
        written != bytes.size())
      throw Exception("Cannot write \"" + fileName + "\": " + SystemErrorText(GetLastError()));
  });
}
