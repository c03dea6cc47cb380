// Thread slots on system TLS indexes. Reads and writes of the first 64 indexes
// go straight to the thread's environment block, as TlsGetValue does, but
// without touching the last error (the slots are read inside hooks that must
// leave it alone). A TLS callback of this module destroys a thread's objects
// when the thread ends.
#include <windows.h>

#include <algorithm>

#include "reporter/config/ThreadSlot.h"

// TEB fields on x64: TlsSlots[64] and TlsExpansionSlots.
constexpr std::uint32_t kTebTlsSlots = 0x1480;
constexpr std::uint32_t kTebTlsExpansionSlots = 0x1780;
constexpr std::uint32_t kTebSlotCount = 64;

struct TVexlorThreadSlotRegistry {
  // Slots holding objects, for the thread-end callback.
  static constexpr std::size_t kMax = 32;
  static inline std::atomic<const TVexlorThreadSlotBase*> Slots[kMax] = {};
  static inline std::atomic<std::size_t> Count{0};

  static void Add(const TVexlorThreadSlotBase* slot) {
    const std::size_t at = Count.fetch_add(1);
    if (at < kMax) Slots[at] = slot;
  }
  static void DestroyThreadValues() {
    const std::size_t count = std::min(Count.load(), kMax);
    for (std::size_t i = 0; i < count; ++i) {
      const TVexlorThreadSlotBase* slot = Slots[i].load();
      if (!slot) continue;
      const std::uintptr_t value = slot->Value();
      if (value == 0) continue;
      slot->SetValue(0);
      slot->FDestroy(reinterpret_cast<void*>(value));
    }
  }
  static std::uint32_t Index(const TVexlorThreadSlotBase& slot) {
    std::uint32_t index = slot.FIndex.load(std::memory_order_acquire);
    if (index != 0) return index - 1;
    const DWORD error = GetLastError();
    const DWORD allocated = TlsAlloc();
    SetLastError(error);
    if (allocated == TLS_OUT_OF_INDEXES) return TLS_OUT_OF_INDEXES;
    std::uint32_t expected = 0;
    if (slot.FIndex.compare_exchange_strong(expected, allocated + 1)) {
      if (slot.FDestroy) Add(&slot);
      return allocated;
    }
    TlsFree(allocated);  // another thread was first
    return expected - 1;
  }
};

void TVexlorThreadSlotBase::Prepare() const {
  TVexlorThreadSlotRegistry::Index(*this);
}

std::uintptr_t TVexlorThreadSlotBase::Value() const {
  const std::uint32_t index = TVexlorThreadSlotRegistry::Index(*this);
  std::uintptr_t value = 0;
  if (index < kTebSlotCount) {
    asm volatile("movq %%gs:(%1), %0" : "=r"(value) : "r"(kTebTlsSlots + 8ull * index));
  } else if (index != TLS_OUT_OF_INDEXES) {
    std::uintptr_t expansion = 0;
    asm volatile("movq %%gs:(%1), %0"
                 : "=r"(expansion)
                 : "r"(std::uint64_t{kTebTlsExpansionSlots}));
    if (expansion)
      value = reinterpret_cast<const std::uintptr_t*>(expansion)[index - kTebSlotCount];
  }
  return value;
}

void TVexlorThreadSlotBase::SetValue(std::uintptr_t value) const {
  const std::uint32_t index = TVexlorThreadSlotRegistry::Index(*this);
  if (index < kTebSlotCount) {
    asm volatile("movq %0, %%gs:(%1)" : : "r"(value), "r"(kTebTlsSlots + 8ull * index) : "memory");
  } else if (index != TLS_OUT_OF_INDEXES) {
    const DWORD error = GetLastError();
    TlsSetValue(index, reinterpret_cast<void*>(value));
    SetLastError(error);
  }
}

namespace {

void NTAPI DestroyThreadSlots(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_THREAD_DETACH) TVexlorThreadSlotRegistry::DestroyThreadValues();
}

}  // namespace

// Late among the module's TLS callbacks (they run in the order of their
// section names): the C++ runtime's thread_local destructors, which may still
// raise and be reported, run before it.
extern "C" __attribute__((section(".CRT$XLY"), used))
const PIMAGE_TLS_CALLBACK vexlorDestroyThreadSlots = &DestroyThreadSlots;
