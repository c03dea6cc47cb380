// The look's arithmetic: faces by character set, colours, the caption's
// gradient and the painted frame's rectangles.
#include <gtest/gtest.h>

#include "reporter/dialogs/LookRules.h"

TEST(LookRules, WesternSystemsGetVerdanaAndLucidaConsoleOthersCourierNew) {
  const TLookFaces western = FacesForCharset(kAnsiCharset);
  EXPECT_EQ(western.Proportional, "Verdana");
  EXPECT_EQ(western.Fixed, "Lucida Console");
  EXPECT_EQ(western.FixedPoints, 8);
  const TLookFaces cyrillic = FacesForCharset(204);
  EXPECT_EQ(cyrillic.Proportional, "MS Sans Serif");
  EXPECT_EQ(cyrillic.Fixed, "Courier New");
  EXPECT_EQ(cyrillic.FixedPoints, 10);
  EXPECT_EQ(FixedFontHeight(8, 96), -10);
  EXPECT_EQ(FixedFontHeight(10, 120), -16);
}

TEST(LookRules, ASmallCaptionHasThreeGradientStepsEachFourPercentDarker) {
  // Caption metric 18: the caption rectangle is 17 pixels high.
  const auto steps = CaptionGradient({3, 3, 297, 20}, FrameColoursFor(true).CaptionStart);
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].Colour, (TLookColour{125, 149, 186}));
  EXPECT_EQ(steps[1].Colour, (TLookColour{120, 143, 179}));
  EXPECT_EQ(steps[2].Colour, (TLookColour{115, 137, 172}));
  EXPECT_EQ(steps[0].Rect, (TLookRect{3, 3, 297, 20}));
  EXPECT_EQ(steps[2].Rect, (TLookRect{3, 7, 297, 16}));
  EXPECT_TRUE(CaptionGradient({0, 0, 10, 4}, {}).empty());
}

TEST(LookRules, ActiveAndInactiveColours) {
  const TFrameColours active = FrameColoursFor(true);
  EXPECT_EQ(active.Border, (TLookColour{64, 64, 64}));
  EXPECT_EQ(active.Frame, (TLookColour{128, 128, 128}));
  EXPECT_TRUE(active.Shadow);
  EXPECT_EQ(active.ShadowColour, (TLookColour{34, 34, 34}));
  const TFrameColours inactive = FrameColoursFor(false);
  EXPECT_EQ(inactive.CaptionStart, (TLookColour{151, 151, 151}));
  EXPECT_EQ(inactive.Title, (TLookColour{224, 224, 224}));
  EXPECT_FALSE(inactive.Shadow);
}

TEST(LookRules, FrameRectanglesFollowTheSystemFrameAndCaption) {
  const TFrameLayout collapsed = FrameLayoutFor(300, 200, 3, 3, 18, false);
  EXPECT_EQ(collapsed.Inner, (TLookRect{2, 2, 298, 198}));
  EXPECT_EQ(collapsed.Caption, (TLookRect{3, 3, 297, 20}));
  EXPECT_EQ(collapsed.Upper, (TLookRect{2, 2, 298, 21}));
  ASSERT_EQ(collapsed.Outlines.size(), 2u);
  EXPECT_EQ(collapsed.Outlines[1], (TLookRect{2, 2, 298, 20}));
  EXPECT_EQ(collapsed.FrameBands[2], (TLookRect{1, 198, 299, 199}));
  EXPECT_EQ(collapsed.TitleLeft, 7);
  EXPECT_EQ(collapsed.TitleBox.Top, 2);
  const TFrameLayout expanded = FrameLayoutFor(300, 200, 4, 4, 18, true);
  ASSERT_EQ(expanded.Outlines.size(), 3u);
  EXPECT_EQ(expanded.Outlines[2], expanded.Inner);
  EXPECT_EQ(expanded.TitleBox, expanded.Caption);
}

TEST(LookRules, SmallDialogsGrowWithTheCaptionMetric) {
  EXPECT_EQ(AdjustedDialogHeight(200, 18), 200);
  EXPECT_EQ(AdjustedDialogHeight(200, 23), 205);
}
