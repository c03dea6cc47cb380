// A call stack: resolved addresses from the innermost call outward.
#pragma once

#include <cstddef>
#include <vector>

#include "reporter/debugdata/DebugInfo.h"

class TVexlorStackList {
 public:
  void Add(const TVexlorDebugInfo& item) { FItems.push_back(item); }
  std::size_t Count() const { return FItems.size(); }
  const TVexlorDebugInfo& Items(std::size_t index) const { return FItems.at(index); }
  TVexlorDebugInfo& Items(std::size_t index) { return FItems.at(index); }
  void Delete(std::size_t index) {
    if (index < FItems.size()) FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(index));
  }
  void Clear() { FItems.clear(); }

  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 private:
  std::vector<TVexlorDebugInfo> FItems;
};
