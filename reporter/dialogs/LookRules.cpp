// The look's arithmetic: faces per character set, frame colours, the caption's
// darkening gradient steps and the frame's rectangles.
#include "reporter/dialogs/LookRules.h"

#include <algorithm>
#include <cmath>

TLookFaces FacesForCharset(unsigned charset) {
  if (charset == kAnsiCharset) return {"Verdana", "Lucida Console", 8};
  return {"MS Sans Serif", "Courier New", 10};
}

int FixedFontHeight(int points, int pixelsPerInch) {
  return -(points * pixelsPerInch / 72);
}

TFrameColours FrameColoursFor(bool active) {
  if (active)
    return {{64, 64, 64}, {128, 128, 128}, {130, 155, 194}, {255, 255, 255}, true, {34, 34, 34}};
  return {{48, 48, 48}, {96, 96, 96}, {151, 151, 151}, {224, 224, 224}, false, {}};
}

namespace {

std::uint8_t Darker(std::uint8_t channel) {
  return static_cast<std::uint8_t>(std::min(255L, std::lround(channel * 0.96)));
}

}  // namespace

std::vector<TGradientStep> CaptionGradient(TLookRect caption, TLookColour start) {
  std::vector<TGradientStep> steps;
  TLookRect band = caption;
  TLookColour colour = start;
  const int count = caption.Height() / 5;
  for (int i = 0; i < count; ++i) {
    colour = {Darker(colour.R), Darker(colour.G), Darker(colour.B)};
    steps.push_back({band, colour});
    band.Top += 2;
    band.Bottom -= 2;
  }
  return steps;
}

TFrameLayout FrameLayoutFor(int width, int height, int frameWidth, int frameHeight,
                            int captionMetric, bool expanded) {
  const int fx = frameWidth - 1;
  const int fy = frameHeight - 1;
  TFrameLayout layout;
  layout.Window = {0, 0, width, height};
  layout.Inner = {fx, fy, width - fx, height - fy};
  layout.Caption = {fx + 1, fy + 1, width - fx - 1, fy + captionMetric};
  layout.Upper = layout.Inner;
  layout.Upper.Bottom = layout.Caption.Bottom + 1;
  const TLookRect& inner = layout.Inner;
  layout.FrameBands = {{1, 1, inner.Left, height - 1},
                       {1, 1, width - 1, inner.Top},
                       {1, inner.Bottom, width - 1, height - 1},
                       {inner.Right, 1, width - 1, height - 1}};
  if (expanded) {
    layout.Outlines = {layout.Window, layout.Upper, layout.Inner};
  } else {
    TLookRect upper = layout.Upper;
    upper.Bottom -= 1;
    layout.Outlines = {layout.Window, upper};
  }
  layout.TitleLeft = layout.Caption.Left + 4;
  layout.TitleBox = layout.Caption;
  if (!expanded) {
    layout.TitleBox.Top -= 1;
    layout.TitleBox.Bottom -= 1;
  }
  return layout;
}

int AdjustedDialogHeight(int templateHeight, int captionMetric) {
  return templateHeight + captionMetric - 18;
}
