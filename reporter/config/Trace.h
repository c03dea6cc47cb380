// The reporter's internal trace: every reporter routine writes an entry line
// and, where it has a result, an exit line ("Name="), so that a failure of the
// reporter itself can be diagnosed from the ".log" file beside the executable.
// Tracing is off in normal use and then costs one flag test per call.
#pragma once

#include <atomic>
#include <concepts>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// One typed parameter of a trace line. It only refers to the caller's data
// (strings, exception objects), so building one costs no allocation; it must
// not outlive the call it is passed to.
class TraceValue {
 public:
  enum class Kind : std::uint8_t {
    Integer,
    Unsigned,
    Boolean,
    Character,
    Float,
    String,
    Pointer,
    Object,
    Unknown
  };

  template <class T>
  requires std::integral<T> TraceValue(
      T value) {  // NOLINT: implicit on purpose, parameters are lists
    if constexpr (std::same_as<T, bool>) {
      kind_ = Kind::Boolean;
      u_.integer = value ? 1 : 0;
    } else if constexpr (std::same_as<T, char>) {
      kind_ = Kind::Character;
      u_.integer = static_cast<unsigned char>(value);
    } else if constexpr (std::is_signed_v<T>) {
      kind_ = Kind::Integer;
      u_.integer = value;
    } else {
      kind_ = Kind::Unsigned;
      u_.unsignedValue = value;
    }
  }
  template <class T>
  requires std::is_enum_v<T> TraceValue(T value)
      : TraceValue(static_cast<std::underlying_type_t<T>>(value)) {}
  template <class T>
  requires std::floating_point<T> TraceValue(T value) : kind_(Kind::Float) {
    u_.floating = static_cast<double>(value);
  }
  TraceValue(std::string_view text) : kind_(Kind::String), text_(text) { u_.cString = nullptr; }
  TraceValue(const std::string& text) : kind_(Kind::String), text_(text) { u_.cString = nullptr; }
  TraceValue(std::nullptr_t) : kind_(Kind::Pointer) { u_.pointer = nullptr; }
  // Zero-terminated strings are text; an exception object is an object; any
  // other pointer is an address.
  template <class T>
  TraceValue(T* pointer) {
    if constexpr (std::is_same_v<std::remove_cv_t<T>, char>) {
      // Measured only when formatted: tracing off must cost no strlen.
      kind_ = Kind::String;
      u_.cString = pointer;
    } else if constexpr (std::is_base_of_v<std::exception, std::remove_cv_t<T>>) {
      kind_ = Kind::Object;
      u_.object = pointer;
    } else if constexpr (std::is_function_v<T>) {
      kind_ = Kind::Pointer;
      u_.pointer = reinterpret_cast<const void*>(pointer);
    } else {
      kind_ = Kind::Pointer;
      u_.pointer = const_cast<const void*>(static_cast<const volatile void*>(pointer));
    }
  }
  TraceValue(const std::exception& object) : kind_(Kind::Object) { u_.object = &object; }

  // A value of a kind the trace has no form for: printed as "Unknown".
  static TraceValue Unknown() { return TraceValue(Kind::Unknown); }

  Kind GetKind() const noexcept { return kind_; }
  std::int64_t AsInteger() const noexcept { return u_.integer; }
  std::uint64_t AsUnsigned() const noexcept { return u_.unsignedValue; }
  double AsFloat() const noexcept { return u_.floating; }
  std::string_view AsString() const noexcept {
    return u_.cString ? std::string_view(u_.cString) : text_;
  }
  const void* AsPointer() const noexcept { return u_.pointer; }
  const std::exception* AsObject() const noexcept { return u_.object; }

 private:
  explicit TraceValue(Kind kind) : kind_(kind) { u_.integer = 0; }

  Kind kind_;
  union {
    std::int64_t integer;
    std::uint64_t unsignedValue;
    double floating;
    const void* pointer;
    const std::exception* object;
    const char* cString;  // a zero-terminated string; null: text_ holds it
  } u_;
  std::string_view text_;
};

using TraceParams = std::initializer_list<TraceValue>;

namespace trace_detail {
extern std::atomic<bool> enabledFlag;
void Record(std::string_view routine, TraceParams params, int indentChange);
}  // namespace trace_detail

// Records one line: time, thread text, indentation, routine, parameters. A
// negative indentChange shortens the thread's indentation before the line, a
// positive one lengthens it after the line.
inline void Trace(std::string_view routine, TraceParams params = {}, int indentChange = 0) {
  if (!trace_detail::enabledFlag.load(std::memory_order_relaxed)) return;
  trace_detail::Record(routine, params, indentChange);
}
inline void TraceEnter(std::string_view routine, TraceParams params = {}) {
  Trace(routine, params, 2);
}
// Exit lines carry the routine's name followed by "=" and usually the result.
void TraceExitLine(std::string_view routine, TraceParams params);
inline void TraceExit(std::string_view routine, TraceParams params = {}) {
  if (!trace_detail::enabledFlag.load(std::memory_order_relaxed)) return;
  TraceExitLine(routine, params);
}

bool GetTraceEnabled();
void SetTraceEnabled(bool value);
bool GetTraceSaveEachLine();
void SetTraceSaveEachLine(bool value);

// Writes the trace file now when tracing is enabled. Returns false when the
// file could not be written (the trace never raises).
bool SaveTrace();
// The trace file: the executable's path with its extension replaced by ".log".
std::string TraceFileName();
// A copy of every line recorded since start, the four header lines first.
std::vector<std::string> TraceLines();

// True when the host executable is the design environment (design-time mode).
bool InDesignEnvironment();

// The thread text of a line. The capture layer replaces the initial one
// (thread id as 8 hex digits, ":MainThread" for the main thread) at start-up.
using TTraceThreadNameProc = std::string (*)();
TTraceThreadNameProc SetTraceThreadNameProc(TTraceThreadNameProc proc);
std::string DefaultTraceThreadName();

// Writes the file at the end of the process unless every line was saved
// already. Runs from a static destructor; safe to call earlier and repeatedly.
void TraceShutdown();
