// What GCC's exception tables say one frame does with a C++ exception: the
// language-specific data area (LSDA) that the compiler writes after every
// function with landing pads. Portable: it reads the tables in place.
#pragma once

#include <cstdint>

#include "reporter/interception/ExceptionObject.h"

enum class TFrameCatch {
  None,       // no catch clause for this exception here (cleanups only)
  CatchAll,   // "catch (...)"
  Typed,      // a catch clause whose type matches
  Terminate,  // the frame lets nothing pass (noexcept, a violated throw spec)
};

// Classifies the frame of the function starting at functionStart, stopped at
// ip (a return address minus one), for the thrown object.
TFrameCatch ClassifyGccFrame(const std::uint8_t* lsda, std::uintptr_t functionStart,
                             std::uintptr_t ip, const TVexlorExceptionObject& thrown);

// The test a catch clause of catchType makes on the thrown object.
bool CatchClauseMatches(const std::type_info& catchType, const TVexlorExceptionObject& thrown);
