// The exception object as the reporter sees it: a thrown C++ object and its
// dynamic type. The class name is the demangled type name; the "general
// exception class" is the class library's Exception (its message) or
// std::exception (what()). Portable.
#pragma once

#include <string>
#include <typeinfo>

struct TVexlorExceptionObject {
  void* Object = nullptr;                // the thrown object (not owned)
  const std::type_info* Type = nullptr;  // its dynamic type; null = no object

  bool Assigned() const { return Object && Type; }
  bool operator==(const TVexlorExceptionObject&) const = default;
};

// Object pointer adjusted to a base class, or null when the thrown type is not
// (publicly, unambiguously) derived from it. Pointer throws are not objects.
void* ExceptionObjectAs(const TVexlorExceptionObject& e, const std::type_info& base);

template <class T>
T* ExceptionObjectAs(const TVexlorExceptionObject& e) {
  return static_cast<T*>(ExceptionObjectAs(e, typeid(T)));
}

// Demangled class name ("EAccessViolation", "std::runtime_error").
std::string ExceptionClassName(const TVexlorExceptionObject& e);
std::string DemangledTypeName(const std::type_info& type);

// True when the class or one of its base classes has the demangled name.
bool InheritsFromName(const std::type_info& type, const std::string& className);

// The message of the general exception class; empty for other objects.
bool HasExceptionMessage(const TVexlorExceptionObject& e);
std::string ExceptionMessage(const TVexlorExceptionObject& e);

// The class library's silent exception: never reported.
bool IsAbortException(const TVexlorExceptionObject& e);
