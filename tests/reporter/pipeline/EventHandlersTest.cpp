// The action codes an application's handlers receive.
#include <gtest/gtest.h>

#include "reporter/pipeline/EventHandlers.h"

TEST(EventHandlers, ActionCodesAreTheOnesHandlersReceive) {
  const std::pair<TVexlorAction, int> codes[] = {
      {TVexlorAction::atShowingExceptionInfo, 0},   {TVexlorAction::atShowedExceptionInfo, 1},
      {TVexlorAction::atSavingLogFile, 2},          {TVexlorAction::atSavedLogFile, 3},
      {TVexlorAction::atSendingEmail, 4},           {TVexlorAction::atSentEmail, 5},
      {TVexlorAction::atTerminatingApplication, 6},
  };
  for (const auto& [action, code] : codes) EXPECT_EQ(static_cast<int>(action), code);
}
