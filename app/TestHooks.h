// Where a test build of the player may inject a fault. The shipped program is
// built without KVP_TEST_HOOKS: the hooks are empty and compiled away, so it
// has no way to crash on purpose. A test build (tests/app) defines the macro
// and links the hooks' implementation.
#pragma once

#ifdef KVP_TEST_HOOKS
// At the start of every tick of the supervision timer.
void TestHookTimerTick();
#else
inline void TestHookTimerTick() {}
#endif
