// The freeze probe's counting and the choice of the window to probe.
#include "reporter/freeze/FreezeProbe.h"

#include <gtest/gtest.h>

#include "reporter/freeze/FreezeWindow.h"

namespace {

// Feeds n unanswered probes of the nominal wait and counts the reports.
int ReportsAfterUnanswered(TFreezeProbe& probe, int n) {
  int reports = 0;
  for (int i = 0; i < n; ++i) {
    if (probe.Probed(false, kProbeWaitMs) == TFreezeStep::Report) ++reports;
  }
  return reports;
}

TEST(FreezeProbe, JustUnderTheTimeOutNoReport) {
  TFreezeProbe probe(1);
  EXPECT_EQ(ReportsAfterUnanswered(probe, 19), 0);
  // An answer starts the count anew.
  EXPECT_EQ(probe.Probed(true, 3), TFreezeStep::Rest);
  EXPECT_EQ(ReportsAfterUnanswered(probe, 19), 0);
  EXPECT_EQ(probe.Probed(false, kProbeWaitMs), TFreezeStep::Report);
}

TEST(FreezeProbe, OneReportPerTimeOutWhileTheFreezeLasts) {
  TFreezeProbe probe(2);
  EXPECT_EQ(ReportsAfterUnanswered(probe, 3 * 40), 3);
  EXPECT_EQ(probe.UnansweredMs(), 0u);
}

TEST(FreezeProbe, CountsTheTimeAProbeTookAndAtLeastItsWait) {
  TFreezeProbe probe(1);
  // A slow answer-less send counts what it took...
  EXPECT_EQ(probe.Probed(false, 700), TFreezeStep::ProbeAgain);
  EXPECT_EQ(probe.Probed(false, 300), TFreezeStep::Report);
  // ...and one that failed at once still counts its wait.
  probe.Probed(false, 0);
  EXPECT_EQ(probe.UnansweredMs(), kProbeWaitMs);
}

TEST(FreezeProbe, ATimeOutBelowOneSecondActsAsOneSecond) {
  EXPECT_EQ(FreezeTimeoutMs(0), 1000u);
  EXPECT_EQ(FreezeTimeoutMs(-5), 1000u);
  EXPECT_EQ(FreezeTimeoutMs(60), 60000u);
  EXPECT_EQ(FreezeTimeoutMs(0x7FFFFFFF), 0x7FFFFFFFull * 1000);
  TFreezeProbe zero(0);
  EXPECT_EQ(zero.Probed(true, 0), TFreezeStep::Rest);
  EXPECT_EQ(ReportsAfterUnanswered(zero, 19), 0);
}

TEST(FreezeWindow, ApplicationWindowTest) {
  EXPECT_TRUE(IsApplicationWindowStyle(true, false, 0));
  EXPECT_FALSE(IsApplicationWindowStyle(false, false, 0));
  EXPECT_FALSE(IsApplicationWindowStyle(true, true, 0));
  EXPECT_FALSE(IsApplicationWindowStyle(true, false, kToolWindowStyle));
  EXPECT_TRUE(IsApplicationWindowStyle(true, false, kToolWindowStyle | kAppWindowStyle));
}

TEST(FreezeWindow, PrefersTheApplicationWindowThenAnOwnedOneOfTheMainThread) {
  const TFreezeWindowFacts hiddenApp{false, false, 0, true};
  const TFreezeWindowFacts ownedForm{true, true, 0, true};
  const TFreezeWindowFacts ownedTool{true, true, kToolWindowStyle, true};
  const TFreezeWindowFacts otherThread{true, false, 0, false};
  const TFreezeWindowFacts app{true, false, 0, true};

  // The player: a hidden application window owning every form.
  EXPECT_EQ(ChooseFreezeWindow({hiddenApp, ownedTool, ownedForm}), 2u);
  EXPECT_EQ(ChooseFreezeWindow({ownedForm, otherThread, app}), 2u);
  // A window of another thread says nothing of the main thread.
  EXPECT_EQ(ChooseFreezeWindow({otherThread}), std::nullopt);
  EXPECT_EQ(ChooseFreezeWindow({hiddenApp, ownedTool}), std::nullopt);
  EXPECT_EQ(ChooseFreezeWindow({}), std::nullopt);
}

}  // namespace
