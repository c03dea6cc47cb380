// Per-thread values of the reporter that need neither the threads library nor
// its locks. A thread that holds one of those locks (a thread ending inside
// its thread_local destructors, a thread inside the loader) may raise, and
// the reporter must still find its own per-thread state, in that thread and in
// the report's handler thread. On Windows each slot is a system TLS index,
// read from the thread's environment block (no call, no change of the last
// error); natively a thread_local.
#pragma once

#include <atomic>
#include <cstdint>

class TVexlorThreadSlotBase {
 public:
  TVexlorThreadSlotBase(const TVexlorThreadSlotBase&) = delete;
  TVexlorThreadSlotBase& operator=(const TVexlorThreadSlotBase&) = delete;

  // Allocates the slot's index now (start-up does, so that no thread
  // allocates it later under a lock it cannot have).
  void Prepare() const;

  using TDestroy = void (*)(void* value);

 protected:
  constexpr explicit TVexlorThreadSlotBase(TDestroy destroy) : FDestroy(destroy) {}

  // 0 when nothing is set in this thread.
  std::uintptr_t Value() const;
  void SetValue(std::uintptr_t value) const;

 private:
  friend struct TVexlorThreadSlotRegistry;
  TDestroy FDestroy;                             // null: the value is a plain word
  mutable std::atomic<std::uint32_t> FIndex{0};  // system index + 1, 0 = none yet
};

// A word per thread, 0 until set.
class TVexlorThreadWord : public TVexlorThreadSlotBase {
 public:
  constexpr TVexlorThreadWord() : TVexlorThreadSlotBase(nullptr) {}
  std::uintptr_t Get() const { return Value(); }
  void Set(std::uintptr_t value) const { SetValue(value); }
};

// An object per thread, built on the thread's first Get and destroyed when the
// thread ends.
template <class T>
class TVexlorThreadSlot : public TVexlorThreadSlotBase {
 public:
  constexpr TVexlorThreadSlot() : TVexlorThreadSlotBase(&Destroy) {}
  T& Get() const {
    if (const std::uintptr_t value = Value()) return *reinterpret_cast<T*>(value);
    T* created = new T();
    SetValue(reinterpret_cast<std::uintptr_t>(created));
    return *created;
  }
  // Null when this thread has none yet.
  T* Find() const { return reinterpret_cast<T*>(Value()); }

 private:
  static void Destroy(void* value) { delete static_cast<T*>(value); }
};
