// The options as INI text and back: the field table in stream order, escaping,
// and parsing that checks everything before it changes the options.
#include "tools/vexlor/OptionsIni.h"

#include <charconv>
#include <map>
#include <string>
#include <vector>

#include "reporter/config/ModuleOptions.h"
#include "runtime/Exceptions.h"

namespace {

using TFields = TVexlorOptionsFields;
using TOptions = TVexlorModuleOptions;

enum class TKind { Bool, Number, String };

struct TKey {
  const char* name;
  TKind kind;
  std::int64_t min, max;
  std::int64_t (*getNumber)(const TFields&);
  const std::string& (*getString)(const TFields&);
  void (*setNumber)(TOptions&, std::int64_t);
  void (*setString)(TOptions&, std::string);
};

#define VX_BOOL(Name)                                                                              \
  {                                                                                                \
#Name, TKind::Bool, 0, 1,                                                                      \
        [](const TFields& f)                                                                       \
             -> std::int64_t { return f.Name; }, nullptr,                                          \
                                              [](TOptions & o,                                     \
                                                 std::int64_t v) { o.Set##Name(v != 0); }, nullptr \
  }
#define VX_NUMBER(Name, Type, Min, Max)                                              \
  {                                                                                  \
#Name,                                                                             \
   TKind::Number,                                                                     \
   Min,                                                                               \
   Max,                                                                               \
   [](const TFields& f) -> std::int64_t { return static_cast<std::int64_t>(f.Name); }, \
   nullptr,                                                                           \
   [](TOptions& o, std::int64_t v) { o.Set##Name(static_cast<Type>(v)); },            \
   nullptr \
  }
#define VX_STRING(Name)                                                                      \
  {                                                                                          \
#Name, TKind::String, 0, 0, nullptr,                                                     \
        [](const TFields& f)                                                                 \
             -> const std::string& { return f.Name; }, nullptr,                              \
                                                    [](TOptions & o,                         \
                                                       std::string                           \
                                                           v) { o.Set##Name(std::move(v)); } \
  }

constexpr std::int64_t kI32Min = -2147483648LL, kI32Max = 2147483647LL;

// Stream order, except the filter rows and the texts, which have sections.
const TKey kKeys[] = {
    VX_BOOL(StoredFlag),
    VX_BOOL(ExceptionFiltersActive),
    VX_NUMBER(ReportFlags, std::uint8_t, 0, 255),
    VX_BOOL(ShowExceptionDialog),
    VX_BOOL(AppendLogToMessage),
    VX_BOOL(SendEntireLog),
    VX_BOOL(AttachScreenshot),
    VX_BOOL(ShowSendDialog),
    VX_BOOL(SaveLogFile),
    VX_NUMBER(DetailsPageIndex, std::uint8_t, 0, 255),
    VX_BOOL(CustomDialogStyle),
    VX_BOOL(FreezeActivate),
    VX_NUMBER(FreezeTimeout, std::int32_t, kI32Min, kI32Max),
    VX_STRING(FreezeMessage),
    VX_STRING(SMTPFrom),
    VX_STRING(SMTPHost),
    VX_NUMBER(SMTPPort, std::uint16_t, 0, 65535),
    VX_STRING(SMTPUserID),
    VX_STRING(SMTPPassword),
    VX_NUMBER(TerminateButtonAction, TTerminateButtonAction, 0, 255),
    VX_BOOL(ShowTerminateButton),
    VX_NUMBER(ErrorsNumberToSave, std::int32_t, kI32Min, kI32Max),
    VX_NUMBER(TerminateButtonErrors, std::int32_t, kI32Min, kI32Max),
    VX_STRING(EmailAddresses),
    VX_STRING(EmailSubject),
    VX_NUMBER(EmailSendMode, TEmailSendMode, 0, 255),
    VX_NUMBER(LogItems, std::uint32_t, 0, 4294967295LL),
    VX_STRING(OutputPath),
    VX_STRING(EmailMessage),
};

#undef VX_BOOL
#undef VX_NUMBER
#undef VX_STRING

[[noreturn]] void Fail(std::size_t line, const std::string& what) {
  throw EConvertError("line " + std::to_string(line) + ": " + what);
}

std::int64_t ParseNumber(std::string_view text, const TKey& key, std::size_t line) {
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    Fail(line, std::string(key.name) + ": '" + std::string(text) + "' is not a decimal number");
  if (value < key.min || value > key.max)
    Fail(line, std::string(key.name) + ": " + std::to_string(value) + " is outside " +
                   std::to_string(key.min) + ".." + std::to_string(key.max));
  return value;
}

// "Class12" -> 12; -1 when the key is not prefix + decimal index.
long FilterIndex(std::string_view key, std::string_view prefix) {
  if (key.substr(0, prefix.size()) != prefix || key.size() == prefix.size()) return -1;
  std::string_view digits = key.substr(prefix.size());
  long index = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
  if (error != std::errc() || end != digits.data() + digits.size() || index < 0) return -1;
  return index;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string EscapeIniValue(std::string_view value) {
  std::string text;
  for (char c : value) {
    switch (c) {
      case '\r':
        text += "\\r";
        break;
      case '\n':
        text += "\\n";
        break;
      case '\t':
        text += "\\t";
        break;
      case '\\':
        text += "\\\\";
        break;
      default:
        text += c;
    }
  }
  return text;
}

std::string UnescapeIniValue(std::string_view value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      text += value[i];
      continue;
    }
    if (++i == value.size()) throw EConvertError("a value ends with a single backslash");
    switch (value[i]) {
      case 'r':
        text += '\r';
        break;
      case 'n':
        text += '\n';
        break;
      case 't':
        text += '\t';
        break;
      case '\\':
        text += '\\';
        break;
      default:
        throw EConvertError(std::string("unknown escape \\") + value[i]);
    }
  }
  return text;
}

std::string OptionsToIni(const TVexlorModuleOptions& options) {
  const TFields& f = options.Fields();
  std::string ini = "[Options]\n";
  for (const TKey& key : kKeys) {
    ini += key.name;
    ini += '=';
    ini += key.kind == TKind::String ? EscapeIniValue(key.getString(f))
                                     : std::to_string(key.getNumber(f));
    ini += '\n';
  }
  ini += "\n[ExceptionFilters]\n";
  std::size_t rows = std::max(f.ExceptionFilterClasses.size(), f.ExceptionFilterMessages.size());
  for (std::size_t i = 0; i < rows; ++i) {
    std::string n = std::to_string(i);
    ini +=
        "Class" + n + "=" +
        (i < f.ExceptionFilterClasses.size() ? EscapeIniValue(f.ExceptionFilterClasses[i]) : "") +
        "\n";
    ini +=
        "Message" + n + "=" +
        (i < f.ExceptionFilterMessages.size() ? EscapeIniValue(f.ExceptionFilterMessages[i]) : "") +
        "\n";
  }
  ini += "\n[Texts]\n";
  for (int i = 0; i < CustomizedTextCount; ++i)
    ini += std::string(CustomizedTextIdentifier(i)) + "=" +
           EscapeIniValue(f.CustomizedTexts[static_cast<std::size_t>(i)]) + "\n";
  return ini;
}

void IniToOptions(std::string_view ini, TVexlorModuleOptions& options) {
  // Parse everything first, so that bad input changes nothing.
  std::vector<std::pair<const TKey*, std::pair<std::int64_t, std::string>>> values;
  std::map<long, std::string> classes, messages;
  bool anyFilter = false;
  std::vector<std::pair<int, std::string>> texts;
  std::string section;
  std::size_t lineNumber = 0;
  for (std::size_t start = 0; start <= ini.size();) {
    std::size_t end = ini.find('\n', start);
    if (end == std::string_view::npos) end = ini.size();
    std::string_view line = ini.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') continue;
    if (trimmed.front() == '[') {
      if (trimmed.back() != ']') Fail(lineNumber, "unterminated section header");
      section = std::string(Trim(trimmed.substr(1, trimmed.size() - 2)));
      if (section != "Options" && section != "ExceptionFilters" && section != "Texts")
        Fail(lineNumber, "unknown section [" + section + "]");
      continue;
    }
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) Fail(lineNumber, "expected KEY=VALUE");
    std::string key(Trim(line.substr(0, equals)));
    std::string_view raw = line.substr(equals + 1);
    if (section.empty()) Fail(lineNumber, "key '" + key + "' outside a section");
    std::string value;
    try {
      value = UnescapeIniValue(raw);
    } catch (const EConvertError& e) {
      Fail(lineNumber, key + ": " + e.Message());
    }
    if (section == "Options") {
      const TKey* found = nullptr;
      for (const TKey& candidate : kKeys)
        if (key == candidate.name) found = &candidate;
      if (!found) Fail(lineNumber, "unknown key '" + key + "' in [Options]");
      std::int64_t number = 0;
      if (found->kind != TKind::String) number = ParseNumber(value, *found, lineNumber);
      values.push_back({found, {number, value}});
    } else if (section == "ExceptionFilters") {
      long index = FilterIndex(key, "Class");
      bool isClass = index >= 0;
      if (!isClass) index = FilterIndex(key, "Message");
      if (index < 0 || index > 100000)
        Fail(lineNumber,
             "expected Class<i> or Message<i> in [ExceptionFilters], not '" + key + "'");
      (isClass ? classes : messages)[index] = value;
      anyFilter = true;
    } else {
      int index = CustomizedTextIndex(key);
      if (index < 0) Fail(lineNumber, "unknown text '" + key + "'");
      texts.push_back({index, value});
    }
  }

  options.BeginUpdate();
  for (auto& [key, value] : values) {
    if (key->kind == TKind::String)
      key->setString(options, value.second);
    else
      key->setNumber(options, value.first);
  }
  for (auto& [index, text] : texts) options.SetText(static_cast<std::uint8_t>(index), text);
  if (anyFilter) {
    long rows = 0;
    if (!classes.empty()) rows = std::max(rows, classes.rbegin()->first + 1);
    if (!messages.empty()) rows = std::max(rows, messages.rbegin()->first + 1);
    std::vector<std::string> classList(static_cast<std::size_t>(rows));
    std::vector<std::string> messageList(static_cast<std::size_t>(rows));
    for (auto& [i, v] : classes) classList[static_cast<std::size_t>(i)] = v;
    for (auto& [i, v] : messages) messageList[static_cast<std::size_t>(i)] = v;
    options.SetExceptionFilters(std::move(classList), std::move(messageList));
  }
  options.EndUpdate();
}
