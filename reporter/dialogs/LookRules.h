// The arithmetic of the reporter dialogs' look, without any window: the faces
// by character set, the colours, the caption's gradient steps and the
// rectangles of the painted frame. DialogLook.h applies them to windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TLookRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TLookRect&) const = default;
};

struct TLookColour {
  std::uint8_t R = 0;
  std::uint8_t G = 0;
  std::uint8_t B = 0;
  bool operator==(const TLookColour&) const = default;
};

// The proportional and fixed faces and the fixed face's point size. A
// Western (ANSI) character set gets "Verdana" and "Lucida Console" 8 pt,
// any other "MS Sans Serif" and "Courier New" 10 pt.
struct TLookFaces {
  std::string Proportional;
  std::string Fixed;
  int FixedPoints = 0;
};
constexpr unsigned kAnsiCharset = 0;
TLookFaces FacesForCharset(unsigned charset);
// The fixed font's height for the display: minus (points * pixels per inch / 72).
int FixedFontHeight(int points, int pixelsPerInch);

// The grey of the custom look's background.
constexpr TLookColour kLookBackground{212, 208, 200};

struct TFrameColours {
  TLookColour Border;
  TLookColour Frame;
  TLookColour CaptionStart;
  TLookColour Title;
  bool Shadow = false;  // the title is drawn with a shadow first
  TLookColour ShadowColour;
};
TFrameColours FrameColoursFor(bool active);

// One band of the caption gradient: the rectangle filled and its colour.
struct TGradientStep {
  TLookRect Rect;
  TLookColour Colour;
};
// Height / 5 steps; each darkens every channel by 4 percent (rounded) and
// fills a rectangle 2 pixels smaller at top and bottom than the one before.
std::vector<TGradientStep> CaptionGradient(TLookRect caption, TLookColour start);

// The painted frame in window coordinates, from the window's size, the
// system frame size and the caption metric.
struct TFrameLayout {
  TLookRect Window;   // W
  TLookRect Inner;    // I: W less the frame
  TLookRect Caption;  // C
  TLookRect Upper;    // U: I down to just under the caption
  // The four bands between the window's edge (less one pixel) and I.
  std::vector<TLookRect> FrameBands;
  // The outlines drawn in the border colour: W, U and I when expanded, else
  // W and U one pixel shorter.
  std::vector<TLookRect> Outlines;
  // Where the title text starts; its shadow is one pixel further right.
  int TitleLeft = 0;
  // The caption's vertical centre line for the title (one pixel higher in a
  // dialog that is not expanded).
  TLookRect TitleBox;
};
TFrameLayout FrameLayoutFor(int width, int height, int frameWidth, int frameHeight,
                            int captionMetric, bool expanded);

// The small dialogs (request, progress) are as high as their template plus
// the caption metric less the 18 pixels the template allowed for.
int AdjustedDialogHeight(int templateHeight, int captionMetric);
