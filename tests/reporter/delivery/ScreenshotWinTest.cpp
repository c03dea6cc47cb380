// The screenshot of the test display's two screens: it decodes, has the
// virtual screen's size, and shows what the second monitor shows.
#include <windows.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include "reporter/delivery/PngWriter.h"
#include "reporter/delivery/ScreenCaptureWin.h"
#include "tests/reporter/delivery/MailServersWin.h"

namespace {

std::uint32_t Get32(const std::string& s, std::size_t at) {
  return (static_cast<std::uint32_t>(static_cast<unsigned char>(s[at])) << 24) |
         (static_cast<unsigned char>(s[at + 1]) << 16) |
         (static_cast<unsigned char>(s[at + 2]) << 8) | static_cast<unsigned char>(s[at + 3]);
}

struct TPicture {
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  std::string Palette;
  std::string Rows;  // filter byte + indices, per row
  std::vector<std::size_t> IdatSizes;

  unsigned Rgb(std::uint32_t x, std::uint32_t y) const {
    const auto index = static_cast<unsigned char>(Rows[y * (Width + 1) + 1 + x]);
    return (static_cast<unsigned char>(Palette[index * 3]) << 16) |
           (static_cast<unsigned char>(Palette[index * 3 + 1]) << 8) |
           static_cast<unsigned char>(Palette[index * 3 + 2]);
  }
};

TPicture Decode(const std::string& png) {
  TPicture picture;
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
  std::string idat;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = Get32(png, at);
    const std::string type = png.substr(at + 4, 4);
    const std::string data = png.substr(at + 8, length);
    EXPECT_EQ(Get32(png, at + 8 + length), PngCrc32(type + data)) << type;
    if (type == "IHDR") {
      picture.Width = Get32(data, 0);
      picture.Height = Get32(data, 4);
      EXPECT_EQ(data.substr(8), std::string("\x08\x03\x00\x00\x00", 5));
    } else if (type == "PLTE") {
      picture.Palette = data;
    } else if (type == "IDAT") {
      idat += data;
      picture.IdatSizes.push_back(length);
    }
    at += 12 + length;
  }
  picture.Rows.resize(static_cast<std::size_t>(picture.Height) * (picture.Width + 1));
  uLongf size = static_cast<uLongf>(picture.Rows.size());
  EXPECT_EQ(
      uncompress(reinterpret_cast<Bytef*>(picture.Rows.data()), &size,
                 reinterpret_cast<const Bytef*>(idat.data()), static_cast<uLong>(idat.size())),
      Z_OK);
  EXPECT_EQ(size, picture.Rows.size());
  return picture;
}

// A red window filling the second monitor.
LRESULT CALLBACK RedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(window, &r);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(reinterpret_cast<HDC>(wParam), &r, red);
    DeleteObject(red);
    return 1;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

BOOL CALLBACK SecondMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(monitor, &info);
  if (!(info.dwFlags & MONITORINFOF_PRIMARY)) *reinterpret_cast<RECT*>(data) = info.rcMonitor;
  return TRUE;
}

}  // namespace

TEST(Screenshot, WholeVirtualScreenDecodesWithTheSecondMonitor) {
  ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
  RECT second{};
  EnumDisplayMonitors(nullptr, nullptr, &SecondMonitor, reinterpret_cast<LPARAM>(&second));
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &RedProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"VexlorRedScreen";
  RegisterClassW(&windowClass);
  HWND red = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"VexlorRedScreen", L"", WS_POPUP,
                             second.left, second.top, second.right - second.left,
                             second.bottom - second.top, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  ShowWindow(red, SW_SHOWNOACTIVATE);
  UpdateWindow(red);
  GdiFlush();

  TVexlorScreenCapture capture;
  capture.Capture();
  DestroyWindow(red);
  ASSERT_TRUE(capture.Captured());
  EXPECT_EQ(capture.Width(), GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_EQ(capture.Height(), GetSystemMetrics(SM_CYVIRTUALSCREEN));

  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string file = std::string(folder) + "vexlor-screenshot-test.png";
  capture.WritePng(file);
  capture.WritePng("");  // an empty name writes nothing
  capture.Release();
  EXPECT_FALSE(capture.Captured());
  const TPicture picture = Decode(ReadWholeFile(file));
  DeleteFileA(file.c_str());
  EXPECT_EQ(picture.Width, static_cast<std::uint32_t>(GetSystemMetrics(SM_CXVIRTUALSCREEN)));
  EXPECT_EQ(picture.Height, static_cast<std::uint32_t>(GetSystemMetrics(SM_CYVIRTUALSCREEN)));
  for (std::size_t size : picture.IdatSizes) EXPECT_LE(size, kMaxIdatSize);
  for (std::uint32_t y = 0; y < picture.Height; ++y)
    ASSERT_EQ(picture.Rows[y * (picture.Width + 1)], 0);
  // The middle of the second monitor, relative to the virtual screen.
  const int x = (second.left + second.right) / 2 - GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int y = (second.top + second.bottom) / 2 - GetSystemMetrics(SM_YVIRTUALSCREEN);
  EXPECT_EQ(picture.Rgb(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)), 0xFF0000u);
}
