// Finding, adding and removing thread records, and the recovery that keeps the
// complete ones when a holder of the list's lock has ended.
#include "reporter/debugdata/ThreadsList.h"

#include <algorithm>
#include <mutex>

std::ptrdiff_t TVexlorThreadsList::IndexOfThreadID(std::uint32_t threadID) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i]->ThreadID == threadID) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

std::ptrdiff_t TVexlorThreadsList::IndexOfHandle(std::uintptr_t handle) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i]->Handle == handle) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

TVexlorThreadInfo& TVexlorThreadsList::Add(std::unique_ptr<TVexlorThreadInfo> item) {
  FItems.push_back(std::move(item));
  return *FItems.back();
}

void TVexlorThreadsList::Delete(std::size_t index) {
  if (index < FItems.size()) FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(index));
}

void TVexlorThreadsList::RemoveThreadLocked(std::uint32_t threadID) {
  std::lock_guard<TVexlorLock> guard(FLock);
  const std::ptrdiff_t index = IndexOfThreadID(threadID);
  if (index >= 0) Delete(static_cast<std::size_t>(index));
}

// The records are kept: each holds a creator's stack that cannot be had again,
// and the handler thread, the holder most likely to end, only reads them. A
// record without its thread's id or handle was being filled and is dropped.
void TVexlorThreadsList::DropIncompleteItems(void* list) {
  auto& items = static_cast<TVexlorThreadsList*>(list)->FItems;
  std::erase_if(items, [](const std::unique_ptr<TVexlorThreadInfo>& item) {
    return !item || item->ThreadID == 0 || item->Handle == 0;
  });
}
