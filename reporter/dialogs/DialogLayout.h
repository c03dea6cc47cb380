// The exception dialog's geometry as arithmetic: the collapsed window sized
// to its message, the expanded window from the remembered geometry, the
// places of the controls on every resize, and the fitted tab page.
#pragma once

#include <string>
#include <vector>

#include "reporter/dialogs/LookRules.h"

// A control's place: left, top, width, height.
struct TBox {
  int X = 0;
  int Y = 0;
  int W = 0;
  int H = 0;
  bool operator==(const TBox&) const = default;
};

// The band under the buttons that holds the check boxes: two rows when the
// send box and the screenshot box are both offered.
int CheckBandHeight(bool sendAvailable, bool screenshotOffered);

// What the collapsed layout measures: the width of each line of the message
// and of the line "send box text + 4 spaces + copy box text", in the message
// font, with its line height, and the system's frame and caption.
struct TCollapsedInput {
  std::vector<int> LineWidths;
  int LineHeight = 0;
  int FrameWidth = 0;
  int FrameHeight = 0;
  int CaptionMetric = 0;
  int CheckBand = 0;
  int ScreenWidth = 0;
  int ScreenHeight = 0;
};
struct TCollapsedLayout {
  TBox Window;   // centred on the screen
  TBox Message;  // control 101, in client coordinates
};
// Lines wider than 640 pixels less the margins wrap: the window is then
// exactly 640 wide and taller by the wrapped lines. Never narrower than 250.
TCollapsedLayout CollapsedLayoutFor(const TCollapsedInput& input);

// The expanded window's remembered geometry ("Coordinates" in VexlorLog.ini).
struct TDialogGeometry {
  int Width = 640;
  int Height = 385;  // without the check band
  int Left = 0;
  int Top = 0;
  int State = 1;  // 1 normal, 3 maximized, 6 minimized
};
constexpr int kShowNormal = 1;
constexpr int kShowMaximized = 3;
constexpr int kShowMinimized = 6;

// Reads stored values (empty: none stored; not a number: the default) and
// pulls a position that lies off the screen back inside.
TDialogGeometry LoadedGeometry(const std::string& width, const std::string& height,
                               const std::string& left, const std::string& top,
                               const std::string& state, int screenWidth, int screenHeight,
                               int checkBand);

// A stored number, or the fallback for a missing value or one that is not a
// number.
int IniNumber(const std::string& text, int fallback);

// Where the size handler puts the controls for a client area of cx x cy.
struct TSizeLayout {
  TBox Tabs;
  TBox Message;  // only while expanded
  TBox OkButton;
  TBox TerminateButton;
  TBox DetailsButton;
  TBox SendBox;
  TBox CopyBox;
  TBox ScreenshotBox;
};
TSizeLayout SizeLayoutFor(int cx, int cy, int checkBand);

// The Terminate/Restart button shows once more errors were reported in this
// process than the option allows before it.
bool TerminateButtonShown(bool showTerminateButton, int errorsSoFar, int terminateButtonErrors);

// A tab page fitted to the tab control's display area, and its content
// control (103) inside the page.
struct TPageLayout {
  TBox Page;
  TBox Content;
};
TPageLayout PageLayoutFor(const TLookRect& displayArea);

// "<< &Details" when expanded, "&Details >>" when collapsed.
std::string DetailsButtonText(const std::string& details, bool expanded);
