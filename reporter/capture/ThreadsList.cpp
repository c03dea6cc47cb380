#include "reporter/capture/ThreadsList.h"

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
  std::lock_guard<std::recursive_mutex> guard(FLock);
  const std::ptrdiff_t index = IndexOfThreadID(threadID);
  if (index >= 0) Delete(static_cast<std::size_t>(index));
}
