// The exception dialog's geometry: the collapsed size, the remembered
// geometry with its clamping, and the size handler's rectangles.
#include <gtest/gtest.h>

#include "reporter/dialogs/DialogLayout.h"

namespace {

TCollapsedInput Input(std::vector<int> widths) {
  TCollapsedInput input;
  input.LineWidths = std::move(widths);
  input.LineHeight = 13;
  input.FrameWidth = 3;
  input.FrameHeight = 3;
  input.CaptionMetric = 18;
  input.CheckBand = 34;
  input.ScreenWidth = 1280;
  input.ScreenHeight = 720;
  return input;
}

}  // namespace

TEST(DialogLayout, CheckBandHasTwoRowsOnlyWithSendAndScreenshot) {
  EXPECT_EQ(CheckBandHeight(true, true), 34);
  EXPECT_EQ(CheckBandHeight(true, false), 20);
  EXPECT_EQ(CheckBandHeight(false, true), 20);
}

TEST(DialogLayout, ShortLinesSizeTheWindowAndCentreIt) {
  const TCollapsedLayout layout = CollapsedLayoutFor(Input({100, 200}));
  EXPECT_EQ(layout.Message, (TBox{48, 8, 216, 26}));
  EXPECT_EQ(layout.Window.W, 280);
  EXPECT_EQ(layout.Window.H, 6 + 18 + 86 + 34);
  EXPECT_EQ(layout.Window.X, (1280 - 280) / 2);
  EXPECT_EQ(layout.Window.Y, (720 - 144) / 2);
}

TEST(DialogLayout, ALineWiderThanTheLimitWrapsAt640Pixels) {
  const TCollapsedLayout layout = CollapsedLayoutFor(Input({1000, 50, 1400}));
  EXPECT_EQ(layout.Window.W, 640);
  // 1000: one wrapped line; 1400: two; plus one line each.
  EXPECT_EQ(layout.Message.H, (1 + 2 + 3) * 13);
  EXPECT_EQ(layout.Message.W, 640 - 64);
  EXPECT_EQ(layout.Window.H, (78 - 39) + 6 + 18 + 86 + 34);
}

TEST(DialogLayout, AnEmptyMessageStillGivesA250PixelWindow) {
  EXPECT_EQ(CollapsedLayoutFor(Input({0})).Window.W, 250);
  EXPECT_EQ(CollapsedLayoutFor(Input({})).Window.W, 250);
}

TEST(DialogLayout, StoredGeometryIsReadWithDefaultsAndPulledOnScreen) {
  TDialogGeometry g = LoadedGeometry("", "", "", "", "", 1280, 720, 34);
  EXPECT_EQ(g.Width, 640);
  EXPECT_EQ(g.Height, 385);
  EXPECT_EQ(g.Left, 320);
  EXPECT_EQ(g.Top, (720 - 419) / 2);
  EXPECT_EQ(g.State, kShowNormal);
  g = LoadedGeometry("700", "400", "5000", "690", "3", 1280, 720, 20);
  EXPECT_EQ(g.Left, 1280 - 700);
  EXPECT_EQ(g.Top, 720 - 400 - 20);
  EXPECT_EQ(g.State, kShowMaximized);
  g = LoadedGeometry("wide", "400", "-30", "-1", "x", 1280, 720, 20);
  EXPECT_EQ(g.Width, 640);
  EXPECT_EQ(g.Left, 0);
  EXPECT_EQ(g.Top, 0);
  EXPECT_EQ(g.State, kShowNormal);
  // A window larger than the screen stays at its edge, never above it.
  g = LoadedGeometry("2000", "900", "10", "10", "1", 1280, 720, 20);
  EXPECT_EQ(g.Left, 0);
  EXPECT_EQ(g.Top, 0);
}

TEST(DialogLayout, IniNumbersAreWholeDecimalNumbersOrTheDefault) {
  EXPECT_EQ(IniNumber("12", 7), 12);
  EXPECT_EQ(IniNumber("-5", 7), -5);
  EXPECT_EQ(IniNumber("", 7), 7);
  EXPECT_EQ(IniNumber("12a", 7), 7);
  EXPECT_EQ(IniNumber("99999999999", 7), 7);
}

TEST(DialogLayout, TheSizeHandlerPlacesTheControls) {
  const TSizeLayout layout = SizeLayoutFor(600, 400, 34);
  EXPECT_EQ(layout.Tabs, (TBox{4, 52, 592, 276}));
  EXPECT_EQ(layout.Message, (TBox{48, 8, 544, 42}));
  EXPECT_EQ(layout.OkButton, (TBox{262, 334, 75, 25}));
  EXPECT_EQ(layout.TerminateButton, (TBox{5, 334, 75, 25}));
  EXPECT_EQ(layout.DetailsButton, (TBox{520, 334, 75, 25}));
  EXPECT_EQ(layout.SendBox, (TBox{4, 368, 296, 13}));
  EXPECT_EQ(layout.CopyBox, (TBox{300, 368, 296, 13}));
  EXPECT_EQ(layout.ScreenshotBox, (TBox{23, 384, 577, 13}));
  const TPageLayout page = PageLayoutFor({2, 24, 592, 294});
  EXPECT_EQ(page.Page, (TBox{-1, 23, 590, 270}));
  EXPECT_EQ(page.Content, (TBox{5, 20, 582, 246}));
}

TEST(DialogLayout, TerminateButtonAndDetailsText) {
  EXPECT_TRUE(TerminateButtonShown(true, 1, 0));
  EXPECT_FALSE(TerminateButtonShown(true, 3, 3));
  EXPECT_FALSE(TerminateButtonShown(false, 9, 0));
  EXPECT_EQ(DetailsButtonText("&Details", true), "<< &Details");
  EXPECT_EQ(DetailsButtonText("&Details", false), "&Details >>");
}
