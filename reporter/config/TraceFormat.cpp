// The trace's text forms, built without the running trace: values, lines,
// header, command-line switches and the Windows and compiler version texts.
#include "reporter/config/TraceFormat.h"

#include <cxxabi.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "runtime/Exceptions.h"
#include "runtime/FileNames.h"

namespace {

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return result;
}

std::string ClassNameOf(const std::exception& object) {
  const char* mangled = typeid(object).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangled);
}

std::string FormatFloat(double value) {
  std::array<char, 64> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                              std::chars_format::general, 15);
  return std::string(buffer.data(), result.ptr);
}

std::string FormatPointer(const void* pointer, const TAddressInspector& inspector) {
  if (!pointer) return "nil";
  std::string text = "$" + HexDigits(reinterpret_cast<std::uintptr_t>(pointer), 16);
  std::string module = inspector.ModuleFileName(pointer);
  if (module.empty()) return text;
  text += " [" + std::string(module.substr(module.find_last_of("\\/:") + 1)) + "]";
  std::array<unsigned char, 8> bytes{};
  if (inspector.ReadBytes(pointer, bytes.data(), bytes.size())) {
    text += " [";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (i) text += ' ';
      text += "$" + HexDigits(bytes[i], 2);
    }
    text += "]";
  }
  return text;
}

std::string FormatValueUnguarded(const TraceValue& value, const TAddressInspector& inspector) {
  switch (value.GetKind()) {
    case TraceValue::Kind::Integer:
      return std::to_string(value.AsInteger());
    case TraceValue::Kind::Unsigned:
      return std::to_string(value.AsUnsigned());
    case TraceValue::Kind::Boolean:
      return value.AsInteger() ? "True" : "False";
    case TraceValue::Kind::Character:
      return std::string(1, static_cast<char>(value.AsInteger()));
    case TraceValue::Kind::Float:
      return FormatFloat(value.AsFloat());
    case TraceValue::Kind::String:
      return "'" + std::string(value.AsString()) + "'";
    case TraceValue::Kind::Pointer:
      return FormatPointer(value.AsPointer(), inspector);
    case TraceValue::Kind::Object: {
      const std::exception* object = value.AsObject();
      if (!object) return "nil";
      return ClassNameOf(*object) + " [" + object->what() + "]";
    }
    case TraceValue::Kind::Unknown:
      break;
  }
  return "Unknown";
}

}  // namespace

std::string HexDigits(std::uint64_t value, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0 && value; --i, value >>= 4) text[i] = kDigits[value & 0xF];
  return text;
}

std::string FormatTraceValue(const TraceValue& value, const TAddressInspector& inspector) {
  try {
    return FormatValueUnguarded(value, inspector);
  } catch (const Exception& e) {
    return "EXCEPTION: " + e.Message();
  }
}

std::string FormatTraceParams(TraceParams params, const TAddressInspector& inspector) {
  if (params.size() == 0) return {};
  std::string text = "(";
  bool first = true;
  for (const TraceValue& value : params) {
    if (!first) text += ", ";
    first = false;
    text += FormatTraceValue(value, inspector);
  }
  return text + ")";
}

std::string FormatTraceTime(const std::tm& local) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d %02d:%02d:%02d", local.tm_mday,
                local.tm_mon + 1, local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec);
  return buffer;
}

std::string FormatTraceLine(std::string_view time, std::string_view thread, int indent,
                            std::string_view routine, std::string_view params) {
  std::string line;
  line.reserve(time.size() + thread.size() + routine.size() + params.size() + indent + 4);
  line.append(time).append(" [").append(thread).append("] ");
  line.append(static_cast<std::size_t>(indent > 0 ? indent : 0), ' ');
  line.append(routine).append(params);
  return line;
}

TTraceSwitches TraceSwitchesFromParameters(const std::vector<std::string>& parameters,
                                           bool designEnvironment) {
  TTraceSwitches switches;
  std::string last = parameters.empty() ? std::string() : Upper(parameters.back());
  switches.Enabled = designEnvironment || last.find("DEBUG") != std::string::npos;
  switches.SaveEachLine = last.find("SAVE") != std::string::npos;
  return switches;
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i < commandLine.size()) {
    while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    if (i >= commandLine.size()) break;
    std::string part;
    bool quoted = false;
    for (; i < commandLine.size(); ++i) {
      char c = commandLine[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && (c == ' ' || c == '\t')) {
        break;
      } else {
        part += c;
      }
    }
    parts.push_back(std::move(part));
  }
  return parts;
}

std::string WindowsVersionText(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor,
                               std::string_view servicePack) {
  std::string_view pack = servicePack;
  while (!pack.empty() && static_cast<unsigned char>(pack.front()) <= ' ') pack.remove_prefix(1);
  while (!pack.empty() && static_cast<unsigned char>(pack.back()) <= ' ') pack.remove_suffix(1);
  std::string text = "Microsoft Windows ";
  if (platformId == 1) {
    if (minor < 10)
      text += pack == "B" ? "95 OSR 2" : "95";
    else if (minor < 90)
      text += pack == "A" ? "98 SE" : "98";
    else if (minor == 90)
      text += "ME";
  } else if (platformId == 2) {
    if (major == 4) {
      text += "NT 4.0";
    } else if (major == 5 && minor <= 2) {
      static constexpr const char* kNames[] = {"2000", "XP", "2003"};
      text += kNames[minor];
    }
  }
  if (!pack.empty()) text += " (" + std::string(pack) + ")";
  return text;
}

std::string CompilerVersionText() {
#if defined(__clang__)
  return "Clang C++ " __clang_version__;
#elif defined(__GNUC__)
  return "GNU C++ " __VERSION__;
#else
  return "C++ compiler";
#endif
}

std::vector<std::string> TraceHeaderLines(const std::string& systemVersion) {
  return {"VexlorLog 4.5.8", CompilerVersionText(), systemVersion, "----------------"};
}

std::string UpperFileName(std::string_view fileName) {
  return Upper(ExtractFileName(fileName));
}
