// Order of the reporter's process-wide objects in C++ static initialisation:
// lower numbers are constructed first and destroyed last. Everything here
// runs before the application's own static objects (default priority).
#pragma once

constexpr int kHookingInitPriority = 200;
constexpr int kReporterInitPriority = 210;

#if defined(__GNUC__)
#define VEXLOR_INIT_ORDER(priority) __attribute__((init_priority(priority)))
#else
#define VEXLOR_INIT_ORDER(priority)
#endif
