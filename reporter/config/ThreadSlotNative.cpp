// Thread slots natively: a thread_local table of the slots this thread has
// set, destroyed with the thread. No thread ends holding the reporter's locks
// here, so the threads library may be used.
#include <utility>
#include <vector>

#include "reporter/config/ThreadSlot.h"

struct TVexlorThreadSlotRegistry {
  struct TValues {
    std::vector<std::pair<const TVexlorThreadSlotBase*, std::uintptr_t>> Items;
    ~TValues() {
      for (auto& [slot, value] : Items) {
        if (value != 0 && slot->FDestroy) slot->FDestroy(reinterpret_cast<void*>(value));
      }
    }
  };
  static TValues& Values() {
    thread_local TValues values;
    return values;
  }
};

void TVexlorThreadSlotBase::Prepare() const {}

std::uintptr_t TVexlorThreadSlotBase::Value() const {
  for (const auto& [slot, value] : TVexlorThreadSlotRegistry::Values().Items) {
    if (slot == this) return value;
  }
  return 0;
}

void TVexlorThreadSlotBase::SetValue(std::uintptr_t value) const {
  auto& items = TVexlorThreadSlotRegistry::Values().Items;
  for (auto& item : items) {
    if (item.first == this) {
      item.second = value;
      return;
    }
  }
  items.emplace_back(this, value);
}
