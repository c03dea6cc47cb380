// Turns an exported procedure name into unit, class and procedure.
#pragma once

#include <string>

#include "reporter/debugdata/DebugInfo.h"

// Fills unit, class, procedure and kind (2 or 3) of info from an export name:
// "@Unit@Class@Method$params" mangled names, "Unit.Class.Method" dotted
// names, C++ mangled names (demangled, the scope as class) and plain names.
// False when the name has none of these shapes; info is then unchanged.
bool ParseProcedureName(const std::string& name, TVexlorDebugInfo& info);

// Splits a demangled C++ function name ("int ns::A<int>::f<2>(int) const")
// into its scope ("ns::A<int>") and its own name ("f<2>"), dropping the
// return type, the parameters and clone suffixes.
void SplitDemangledName(const std::string& demangled, std::string& scope, std::string& name);

// The demangled form of a C++ mangled name, empty when it is not one.
std::string DemangleName(const std::string& mangled);
