// A stack of its own for work that must run in a thread whose stack is
// exhausted (the report of a stack overflow): a fiber of the same thread, so
// the thread id and thread-local state stay the raising thread's.
#pragma once

// Creates the reserve stack (start-up); false when it could not be made.
bool CreateReserveStack();
// Frees it unless it is in use (or was left by a thread that ended on it).
void FreeReserveStack();

// Runs procedure(argument) on the reserve stack and returns true; false, and
// nothing run, when there is none or another thread uses it. Meanwhile
// CurrentStackBase() still answers the calling thread's own stack base.
bool RunOnReserveStack(void (*procedure)(void*), void* argument);
