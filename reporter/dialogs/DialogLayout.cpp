// The dialog layout's arithmetic: wrapped message lines, geometry read back
// from text with fallbacks and kept on the screen, and the controls' places.
#include "reporter/dialogs/DialogLayout.h"

#include <algorithm>
#include <charconv>

int CheckBandHeight(bool sendAvailable, bool screenshotOffered) {
  return sendAvailable && screenshotOffered ? 34 : 20;
}

TCollapsedLayout CollapsedLayoutFor(const TCollapsedInput& input) {
  const int margin = 2 * input.FrameWidth + 58;
  const int limit = 640 - margin;
  int textWidth = 0;
  int textHeight = 0;
  for (const int width : input.LineWidths) {
    if (width > textWidth) {
      textWidth = width + 16;
      if (limit < width + 16) {
        textWidth = limit;
        // The line wraps into this many more lines of the control's width.
        textHeight += ((width - limit + 16) / limit + 1) * input.LineHeight;
      }
    }
    textHeight += input.LineHeight;
  }
  TCollapsedLayout layout;
  layout.Window.W = std::max(textWidth + margin, 250);
  layout.Window.H = std::max(textHeight - 39, 0) + 2 * input.FrameHeight + input.CaptionMetric +
                    86 + input.CheckBand;
  layout.Window.X = (input.ScreenWidth - layout.Window.W) / 2;
  layout.Window.Y = (input.ScreenHeight - layout.Window.H) / 2;
  layout.Message = {48, 8, layout.Window.W - margin, textHeight};
  return layout;
}

int IniNumber(const std::string& text, int fallback) {
  int value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last) return fallback;
  return value;
}

TDialogGeometry LoadedGeometry(const std::string& width, const std::string& height,
                               const std::string& left, const std::string& top,
                               const std::string& state, int screenWidth, int screenHeight,
                               int checkBand) {
  TDialogGeometry geometry;
  geometry.Width = IniNumber(width, 640);
  geometry.Height = IniNumber(height, 385);
  geometry.Left = IniNumber(left, (screenWidth - geometry.Width) / 2);
  geometry.Top = IniNumber(top, (screenHeight - (geometry.Height + checkBand)) / 2);
  geometry.State = IniNumber(state, kShowNormal);
  if (geometry.Top + geometry.Height > screenHeight) {
    geometry.Top = screenHeight - geometry.Height - checkBand;
  }
  if (geometry.Left + geometry.Width > screenWidth) geometry.Left = screenWidth - geometry.Width;
  geometry.Left = std::max(geometry.Left, 0);
  geometry.Top = std::max(geometry.Top, 0);
  return geometry;
}

TSizeLayout SizeLayoutFor(int cx, int cy, int checkBand) {
  TSizeLayout layout;
  layout.Tabs = {4, 52, cx - 8, cy - 90 - checkBand};
  layout.Message = {48, 8, cx - 56, 42};
  const int y = cy - checkBand - 32;
  layout.OkButton = {(cx - 75) / 2, y, 75, 25};
  layout.TerminateButton = {5, y, 75, 25};
  layout.DetailsButton = {cx - 80, y, 75, 25};
  const int half = cx / 2 - 4;
  layout.SendBox = {4, y + 34, half, 13};
  layout.CopyBox = {cx - half - 4, y + 34, half, 13};
  layout.ScreenshotBox = {23, y + 50, cx - 23, 13};
  return layout;
}

bool TerminateButtonShown(bool showTerminateButton, int errorsSoFar, int terminateButtonErrors) {
  return showTerminateButton && errorsSoFar > terminateButtonErrors;
}

TPageLayout PageLayoutFor(const TLookRect& displayArea) {
  TPageLayout layout;
  layout.Page = {displayArea.Left - 3, displayArea.Top - 1, displayArea.Width(),
                 displayArea.Height()};
  layout.Content = {displayArea.Left + 3, 20, displayArea.Width() - 8, displayArea.Height() - 24};
  return layout;
}

std::string DetailsButtonText(const std::string& details, bool expanded) {
  return expanded ? "<< " + details : details + " >>";
}
