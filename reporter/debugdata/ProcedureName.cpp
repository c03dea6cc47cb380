// Splitting a procedure name into unit, class and procedure: dotted names,
// "@"-mangled names, and demangled C++ names with templates and operators.
#include "reporter/debugdata/ProcedureName.h"

#include <cxxabi.h>

#include <cstdlib>
#include <vector>

#include "reporter/debugdata/DebugData.h"

namespace {

std::vector<std::string> SplitAtDots(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = text.find('.', start);
    parts.push_back(text.substr(start, dot - start));
    if (dot == std::string::npos) return parts;
    start = dot + 1;
  }
}

bool ApplyDottedName(const std::string& text, TVexlorDebugInfo& info) {
  const std::vector<std::string> parts = SplitAtDots(text);
  if (parts.size() != 2 && parts.size() != 3) return false;
  info.UnitName = parts[0] + kUnitExtension;
  info.ClassName = parts.size() == 3 ? parts[1] : std::string();
  info.ProcedureName = parts.back();
  info.Kind = dikExportName;
  return true;
}

// "@Unit@Class@Method$qqrv" -> "Unit.Class.Method".
std::string UnmangleAtName(std::string text) {
  if (const std::size_t dollar = text.find('$'); dollar != std::string::npos) text.resize(dollar);
  if (!text.empty() && text.back() == '@') text.pop_back();
  if (!text.empty() && text.front() == '@') text.erase(0, 1);
  if (const std::size_t twin = text.find("@@"); twin != std::string::npos) text[twin + 1] = '_';
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '@') {
      text[i] = '.';
      ++i;  // the character after a separator is part of the next name
    }
  }
  return text;
}

bool IsCppMangled(const std::string& name) {
  return name.size() > 2 && name[0] == '_' && name[1] == 'Z';
}

}  // namespace

std::string DemangleName(const std::string& mangled) {
  if (!IsCppMangled(mangled)) return std::string();
  int status = 0;
  char* text = abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status);
  if (text == nullptr) return std::string();
  std::string result = status == 0 ? std::string(text) : std::string();
  std::free(text);
  return result;
}

bool ParseProcedureName(const std::string& name, TVexlorDebugInfo& info) {
  bool done = false;
  if (name.size() > 1 && name[0] == '@' && name[1] != '$') {
    done = ApplyDottedName(UnmangleAtName(name), info);
  } else if (IsCppMangled(name)) {
    const std::string demangled = DemangleName(name);
    if (demangled.empty()) return false;
    std::string scope, own;
    SplitDemangledName(demangled, scope, own);
    info.UnitName.clear();
    info.ClassName = scope;
    info.ProcedureName = own;
    info.Kind = scope.empty() ? dikProcedure : dikExportName;
    done = true;
  } else if (name.find('.') != std::string::npos && (name.empty() || name[0] != '@')) {
    done = ApplyDottedName(name.substr(0, name.find('@')), info);
  } else if (!name.empty() && name[0] != '?') {
    info.UnitName.clear();
    info.ClassName.clear();
    info.ProcedureName = name;
    info.Kind = dikProcedure;
    done = true;
  }
  if (done && !info.ProcedureName.empty() && info.ProcedureName[0] == '@')
    info.ProcedureName[0] = '_';
  return done;
}

namespace {

// Index of the '(' that opens the parameter list ending at close, or npos.
std::size_t MatchOpening(const std::string& text, std::size_t close) {
  int depth = 0;
  for (std::size_t i = close + 1; i-- > 0;) {
    if (text[i] == ')') ++depth;
    if (text[i] == '(' && --depth == 0) return i;
  }
  return std::string::npos;
}

bool IsOpen(char c) {
  return c == '<' || c == '(' || c == '{' || c == '[';
}
bool IsClose(char c) {
  return c == '>' || c == ')' || c == '}' || c == ']';
}

// Position of "operator" as a name of its own (after "::", a space or at the
// start), where '<' and '(' stop being brackets.
std::size_t FindOperator(const std::string& text) {
  for (std::size_t at = text.find("operator"); at != std::string::npos;
       at = text.find("operator", at + 1)) {
    const bool starts = at == 0 || text[at - 1] == ' ' || text[at - 1] == ':';
    const char next = at + 8 < text.size() ? text[at + 8] : '\0';
    const bool isWord = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') ||
                        (next >= '0' && next <= '9') || next == '_';
    if (starts && !isWord) return at;
  }
  return std::string::npos;
}

// Last top-level occurrence of "::" or ' ' before limit (npos when none).
std::size_t LastTopLevel(const std::string& text, std::size_t limit, bool space) {
  int depth = 0;
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i < limit && i < text.size(); ++i) {
    const char c = text[i];
    if (IsOpen(c))
      ++depth;
    else if (IsClose(c) && depth > 0)
      --depth;
    else if (depth == 0 && !space && c == ':' && i + 1 < limit && text[i + 1] == ':')
      found = i++;
    else if (depth == 0 && space && c == ' ')
      found = i;
  }
  return found;
}

}  // namespace

void SplitDemangledName(const std::string& demangled, std::string& scope, std::string& name) {
  std::string text = demangled;
  if (const std::size_t clone = text.find(" [clone"); clone != std::string::npos)
    text.resize(clone);
  // Drop the parameter list and whatever qualifies it (" const", " &").
  const std::size_t operatorAt = FindOperator(text);
  const std::size_t close = text.rfind(')');
  if (close != std::string::npos && (operatorAt == std::string::npos || close > operatorAt + 9)) {
    const std::size_t open = MatchOpening(text, close);
    if (open != std::string::npos && open > 0) text.resize(open);
  }
  std::size_t nameAt;
  if (operatorAt != std::string::npos && operatorAt < text.size()) {
    nameAt = operatorAt;
  } else {
    const std::size_t colons = LastTopLevel(text, text.size(), false);
    nameAt = colons == std::string::npos ? 0 : colons + 2;
  }
  name = text.substr(nameAt);
  scope = nameAt >= 2 && text.compare(nameAt - 2, 2, "::") == 0 ? text.substr(0, nameAt - 2)
                                                                : std::string();
  // A return type stands in front of template instantiations.
  std::string& head = scope.empty() ? name : scope;
  // ("operator new" keeps its space.)
  const bool headIsOperator = scope.empty() && operatorAt != std::string::npos;
  if (const std::size_t space = LastTopLevel(head, head.size(), true);
      space != std::string::npos && !headIsOperator)
    head.erase(0, space + 1);
}
