// The pipeline's rules: the call stack's clean-up, the password mask, and the
// waiting main thread's handling of messages.
#include "reporter/pipeline/PipelineRules.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

TVexlorStackList StackOf(std::initializer_list<std::uintptr_t> addresses) {
  TVexlorStackList stack;
  for (std::uintptr_t address : addresses) {
    TVexlorDebugInfo item;
    item.Address = address;
    stack.Add(item);
  }
  return stack;
}

std::vector<std::uintptr_t> AddressesOf(const TVexlorStackList& stack) {
  std::vector<std::uintptr_t> result;
  for (const TVexlorDebugInfo& item : stack) result.push_back(item.Address);
  return result;
}

TEST(CallStackCleanup, ARepeatedTopItemIsDroppedOnce) {
  TVexlorStackList stack = StackOf({0x1000, 0x1000, 0x1000, 0x2000});
  DropRepeatedTopItem(stack);
  EXPECT_EQ(AddressesOf(stack), (std::vector<std::uintptr_t>{0x1000, 0x1000, 0x2000}));

  TVexlorStackList distinct = StackOf({0x1000, 0x2000, 0x1000});
  DropRepeatedTopItem(distinct);
  EXPECT_EQ(AddressesOf(distinct), (std::vector<std::uintptr_t>{0x1000, 0x2000, 0x1000}));

  TVexlorStackList single = StackOf({0x1000});
  DropRepeatedTopItem(single);
  EXPECT_EQ(single.Count(), 1u);
  TVexlorStackList empty;
  DropRepeatedTopItem(empty);
  EXPECT_EQ(empty.Count(), 0u);
}

TEST(CallStackCleanup, TheRaisingCallGoesWhenALaterRowNamesIt) {
  TVexlorStackList stack = StackOf({0x1000, 0x2000, 0x3000, 0x1000, 0x1000});
  DropRaiseCallNamedAgain(stack);
  EXPECT_EQ(AddressesOf(stack), (std::vector<std::uintptr_t>{0x2000, 0x3000, 0x1000, 0x1000}));

  // Only the top row is ever dropped, and only when it recurs.
  TVexlorStackList unique = StackOf({0x1000, 0x2000, 0x2000});
  DropRaiseCallNamedAgain(unique);
  EXPECT_EQ(AddressesOf(unique), (std::vector<std::uintptr_t>{0x1000, 0x2000, 0x2000}));
  TVexlorStackList empty;
  DropRaiseCallNamedAgain(empty);
  EXPECT_EQ(empty.Count(), 0u);
}

TEST(FocusedText, OnlyAPasswordEditIsMasked) {
  EXPECT_EQ(MaskedFocusedText("Edit", "secret", kPasswordEditStyle), "******");
  // The class test ignores case and finds "EDIT" anywhere in the name.
  EXPECT_EQ(MaskedFocusedText("  TMaskEdit ", "abc", 0x50010000 | kPasswordEditStyle), "***");
  EXPECT_EQ(MaskedFocusedText("RichEdit20A", "x", kPasswordEditStyle), "*");
  EXPECT_EQ(MaskedFocusedText("Edit", "", kPasswordEditStyle), "");
  // The same style bit means something else in other classes.
  EXPECT_EQ(MaskedFocusedText("Button", "OK", kPasswordEditStyle), "OK");
  EXPECT_EQ(MaskedFocusedText("Edit", "visible", 0x50010000), "visible");
}

TEST(WaitingMainThread, PaintsBeepsAtInputAndDropsTheRest) {
  for (unsigned message : {0x000Bu, 0x000Fu, 0x0014u, 0x0026u, 0x0027u, 0x007Eu, 0x0085u, 0x0317u,
                           0x0318u, 0x8002u, 0x8003u}) {
    EXPECT_EQ(WaitingMessageAction(message), TWaitingMessageAction::Dispatch) << message;
  }
  for (unsigned message : {0x0102u, 0x0201u, 0x0204u, 0x0207u}) {
    EXPECT_EQ(WaitingMessageAction(message), TWaitingMessageAction::Beep) << message;
  }
  // Timers, key downs, button releases, quit and close would run application
  // code or end the program while its report is being made.
  for (unsigned message : {0x0113u, 0x0100u, 0x0202u, 0x0012u, 0x0010u, 0x0000u, 0x8001u}) {
    EXPECT_EQ(WaitingMessageAction(message), TWaitingMessageAction::Drop) << message;
  }
}

}  // namespace
