// The lists of modules and threads after a thread ended while it held their
// lock, as a report's handler thread does when it faults.
#include <windows.h>

#include <gtest/gtest.h>

#include "reporter/config/ModuleMapping.h"
#include "reporter/debugdata/DebugLookup.h"
#include "reporter/debugdata/ThreadsList.h"
#include "tests/reporter/debugdata/LookupSubjects.h"

namespace {

void RunToItsEnd(LPTHREAD_START_ROUTINE routine, void* parameter) {
  HANDLE thread = CreateThread(nullptr, 0, routine, parameter, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

DWORD WINAPI EndInsideModulesLock(LPVOID) {
  TModulesListLock lock;
  FindModuleInfo(ThisModuleHandle());
  ExitThread(1);
}

TEST(ListLocks, TheModulesListIsStartedAnewAndOldRecordsStayReadable) {
  const TVexlorModuleInfo* before = FindModuleInfo(ThisModuleHandle());
  ASSERT_NE(before, nullptr);
  const TVexlorModulesList* oldList = &VexlorModulesList();
  RunToItsEnd(&EndInsideModulesLock, nullptr);

  TSubjectCase cases[8];
  ASSERT_GT(CollectSubjectCases(cases, 8), 0);
  const TVexlorDebugInfo info = GetDebugInfo(cases[0].Site.Address);
  EXPECT_EQ(info.Kind, dikSourceLine);
  EXPECT_EQ(info.UnitName, cases[0].Unit);
  EXPECT_NE(&VexlorModulesList(), oldList);
  const TVexlorModuleInfo* after = FindModuleInfo(ThisModuleHandle());
  ASSERT_NE(after, nullptr);
  EXPECT_NE(after, before);
  EXPECT_EQ(before->FileName, after->FileName);
}

DWORD WINAPI EndWhileFillingThreadRecord(LPVOID parameter) {
  auto* list = static_cast<TVexlorThreadsList*>(parameter);
  list->Lock();
  auto complete = std::make_unique<TVexlorThreadInfo>();
  complete->ThreadID = 4242;
  complete->Handle = 0x88;
  complete->CreatorStack.assign(64, 0xCC);
  list->Add(std::move(complete));
  // A record whose thread was never made.
  list->Add(std::make_unique<TVexlorThreadInfo>());
  ExitThread(1);
}

TEST(ListLocks, TheThreadsListKeepsWholeRecordsAndDropsUnfinishedOnes) {
  TVexlorThreadsList list;
  RunToItsEnd(&EndWhileFillingThreadRecord, &list);
  ASSERT_TRUE(list.Lock());
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.IndexOfThreadID(4242), 0);
  EXPECT_EQ(list.Get(0).CreatorStackSize(), 64u);
  list.Unlock();
  EXPECT_FALSE(list.Lock());
  list.RemoveThreadLocked(4242);
  EXPECT_EQ(list.Count(), 0u);
  list.Unlock();
}

}  // namespace
