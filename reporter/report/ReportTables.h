// The call-stack and modules tables of the report: one column per field, each
// as wide as its widest cell or label, framed by rules of dashes.
#pragma once

#include <string>
#include <vector>

#include "reporter/config/CustomizedTexts.h"
#include "reporter/debugdata/ModuleInfo.h"
#include "reporter/debugdata/StackList.h"

// "Call Stack Information:" and the table of the entries that name at least a
// procedure, then the "Modules Information:" heading line. A missing list
// prints as an empty one. A run of rows of the same procedure and line (a
// deep recursion, a stack overflow) is printed once, followed by RepeatLine.
std::string BuildCallStackTable(const TCustomizedTexts& texts, const TVexlorStackList* stack);
// "  ... repeated 9999 more times" and a line break.
std::string RepeatLine(std::size_t repeats);

// The modules table, without a line break after its closing rule.
std::string BuildModulesTable(const TCustomizedTexts& texts,
                              const std::vector<const TVexlorModuleInfo*>& modules);
