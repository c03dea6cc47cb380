// The picture of the screen at the moment of an exception: every monitor
// (the whole virtual screen, from its top-left corner), with the mouse
// cursor, kept in memory until it is written as "Screenshot.png" or
// released.
#pragma once

#include <windows.h>

#include <string>

class TVexlorScreenCapture {
 public:
  TVexlorScreenCapture() = default;
  ~TVexlorScreenCapture() { Release(); }
  TVexlorScreenCapture(const TVexlorScreenCapture&) = delete;
  TVexlorScreenCapture& operator=(const TVexlorScreenCapture&) = delete;

  // Takes the picture, replacing one taken before. A failed capture leaves a
  // black or partial picture, never an error.
  void Capture();
  bool Captured() const { return bitmap_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Writes the picture as an 8-bit indexed PNG, replacing the file. Nothing
  // for an empty name or without a picture. Raises Exception when the file
  // cannot be written.
  void WritePng(const std::string& fileName) const;
  void Release();

 private:
  HDC display_ = nullptr;
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  HPALETTE palette_ = nullptr;
  HPALETTE oldPalette_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};
