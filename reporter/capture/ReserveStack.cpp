// The reserve stack as one fiber: the calling thread becomes a fiber for the
// call and switches over and back; one thread at a time may use it.
#include "reporter/capture/ReserveStack.h"

#include <windows.h>

#include <atomic>

#include "reporter/interception/CaptureStateWin.h"

namespace {

// Room for a whole report, message pumping of the main thread included.
constexpr SIZE_T kReserveStackSize = 1024 * 1024;

struct TReserveCall {
  void (*Procedure)(void*) = nullptr;
  void* Argument = nullptr;
  LPVOID Caller = nullptr;
};

LPVOID reserveFiber = nullptr;
// Taken by one thread at a time. A thread that ends while on the reserve
// stack hands a new one over first: its own fiber is lost with it.
std::atomic<bool> inUse{false};
TReserveCall pending;

void WINAPI ReserveFiberProc(LPVOID) {
  for (;;) {
    pending.Procedure(pending.Argument);
    SwitchToFiber(pending.Caller);
  }
}

}  // namespace

bool CreateReserveStack() {
  if (!reserveFiber) reserveFiber = CreateFiber(kReserveStackSize, &ReserveFiberProc, nullptr);
  return reserveFiber != nullptr;
}

void FreeReserveStack() {
  if (!reserveFiber || inUse.exchange(true)) return;
  DeleteFiber(reserveFiber);
  reserveFiber = nullptr;
  inUse = false;
}

void HandOverReserveStack() {
  reserveFiber = CreateFiber(kReserveStackSize, &ReserveFiberProc, nullptr);
  inUse = false;
}

bool RunOnReserveStack(void (*procedure)(void*), void* argument) {
  if (!reserveFiber || inUse.exchange(true)) return false;
  bool converted = false;
  LPVOID caller = ConvertThreadToFiber(nullptr);
  if (caller) {
    converted = true;
  } else if (GetLastError() == ERROR_ALREADY_FIBER) {
    // NT_TIB.FiberData (gs:[0x20]); the header's accessor upsets the compiler.
    asm volatile("movq %%gs:0x20, %0" : "=r"(caller));
  }
  if (!caller) {
    inUse = false;
    return false;
  }
  TThreadCaptureState& state = ThreadCaptureState();
  state.StackBaseOverride = CurrentStackBase();
  pending = {procedure, argument, caller};
  SwitchToFiber(reserveFiber);
  state.StackBaseOverride = 0;
  if (converted) ConvertFiberToThread();
  inUse = false;
  return true;
}
