// Threads started through the reporter's thread hooks, with what is needed to
// report an exception in them (the creator's start routine and stack).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "reporter/config/ReporterLock.h"

struct TVexlorThreadInfo {
  std::uint32_t ThreadID = 0;
  std::uintptr_t Handle = 0;  // as returned to the creator
  std::uintptr_t StartAddress = 0;
  std::uintptr_t Parameter = 0;
  // Copy of the stack of the thread that resumed this one; empty when none.
  std::vector<std::uint8_t> CreatorStack;
  // Where the copy was taken from: its first slot holds the return address
  // into the creator's code. 0 when unknown.
  std::uintptr_t CreatorStackOrigin = 0;
  void* ThreadObject = nullptr;  // the class-library thread object, or null

  std::size_t CreatorStackSize() const { return CreatorStack.size(); }
};

// Every operation except the ones named "Locked" expects the caller to hold
// the lock (Lock/Unlock), as the thread hooks touch the list only briefly.
class TVexlorThreadsList {
 public:
  // True when the lock was taken over from a thread that ended holding it;
  // records it may have left incomplete are gone by then.
  bool Lock() { return FLock.Acquire(); }
  void Unlock() { FLock.Release(); }

  std::size_t Count() const { return FItems.size(); }
  // First match, -1 when absent.
  std::ptrdiff_t IndexOfThreadID(std::uint32_t threadID) const;
  std::ptrdiff_t IndexOfHandle(std::uintptr_t handle) const;
  TVexlorThreadInfo& Get(std::size_t index) { return *FItems.at(index); }
  TVexlorThreadInfo& Add(std::unique_ptr<TVexlorThreadInfo> item);
  void Delete(std::size_t index);
  void Clear() { FItems.clear(); }

  // Removes the record of the given thread (the calling one, on Windows);
  // takes the lock itself.
  void RemoveThreadLocked(std::uint32_t threadID);

 private:
  static void DropIncompleteItems(void* list);

  TVexlorLock FLock{&DropIncompleteItems, this};
  std::vector<std::unique_ptr<TVexlorThreadInfo>> FItems;
};
