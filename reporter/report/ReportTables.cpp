// Building the call-stack and modules tables: column widths, rules, rows in one
// buffer, and a run of repeated rows printed once with its count.
#include "reporter/report/ReportTables.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "reporter/config/TraceFormat.h"
#include "reporter/report/SystemFormats.h"
#include "reporter/report/TextFilters.h"
#include "runtime/FileNames.h"

namespace {

constexpr std::size_t kColumns = 6;
// Addresses and handles are pointer-wide.
constexpr std::size_t kAddressWidth = 16;

using TCells = std::array<std::string, kColumns>;
using TWidths = std::array<std::size_t, kColumns>;

const std::string& Text(const TCustomizedTexts& texts, TCustomizedText id) {
  return texts[static_cast<std::size_t>(id)];
}

TWidths LabelWidths(const TCells& labels) {
  TWidths widths{};
  for (std::size_t i = 0; i < kColumns; ++i) widths[i] = labels[i].size();
  widths[0] = std::max(widths[0], kAddressWidth);
  return widths;
}

void Widen(TWidths& widths, const TCells& cells) {
  for (std::size_t i = 0; i < kColumns; ++i) widths[i] = std::max(widths[i], cells[i].size());
}

std::size_t TotalWidth(const TWidths& widths) {
  return std::accumulate(widths.begin(), widths.end(), std::size_t{0});
}

std::string Rule(const TWidths& widths) {
  return std::string(TotalWidth(widths) + 7, '-');
}

void AppendRow(std::string& text, const TCells& cells, const TWidths& widths) {
  text += '|';
  for (std::size_t i = 0; i < kColumns; ++i) {
    text += PadRight(cells[i], widths[i]);
    text += '|';
  }
}

// Rows go into one buffer sized for all of them, not grown line by line.
std::string Rows(const std::vector<TCells>& rows, const TWidths& widths) {
  std::string text;
  text.reserve(rows.size() * (TotalWidth(widths) + 9));
  for (const TCells& row : rows) {
    AppendRow(text, row, widths);
    text += "\r\n";
  }
  return text;
}

TCells StackCells(const TVexlorDebugInfo& item) {
  // Names come from debug data and version resources written by others; a
  // control byte in them must not break a row of a text read by line.
  return {HexText(item.Address, kAddressWidth),
          ReplaceControlChars(item.ModuleInfo ? ExtractFileName(item.ModuleInfo->FileName) : ""),
          ReplaceControlChars(item.UnitName),
          ReplaceControlChars(item.ClassName),
          ReplaceControlChars(item.ProcedureName),
          item.Line == 0 ? std::string() : std::to_string(item.Line)};
}

// The same procedure at the same line; rows without a line must also share
// their address, or two different places in one unnamed stretch of code would
// read as one.
bool SameStackRow(const TVexlorDebugInfo& a, const TVexlorDebugInfo& b) {
  return a.ModuleInfo == b.ModuleInfo && a.UnitName == b.UnitName && a.ClassName == b.ClassName &&
         a.ProcedureName == b.ProcedureName && a.Line == b.Line &&
         (a.Line != 0 || a.Address == b.Address);
}

}  // namespace

std::string RepeatLine(std::size_t repeats) {
  return "  ... repeated " + std::to_string(repeats) +
         (repeats == 1 ? " more time" : " more times") + "\r\n";
}

std::string BuildCallStackTable(const TCustomizedTexts& texts, const TVexlorStackList* stack) {
  const TCells labels = {Text(texts, TCustomizedText::CallStackAddress),
                         Text(texts, TCustomizedText::CallStackModule),
                         Text(texts, TCustomizedText::CallStackUnit),
                         Text(texts, TCustomizedText::CallStackClass),
                         Text(texts, TCustomizedText::CallStackProcedure),
                         Text(texts, TCustomizedText::CallStackLine)};
  TWidths widths = LabelWidths(labels);
  std::vector<TCells> rows;
  // How often each row's item repeats right after it (a deep recursion, a
  // stack overflow): the run is printed once, with its count.
  std::vector<std::size_t> repeats;
  const TVexlorDebugInfo* previous = nullptr;
  if (stack != nullptr) {
    for (const TVexlorDebugInfo& item : *stack) {
      if (item.Kind < dikProcedure || item.Kind > dikSourceLine) continue;
      if (previous && SameStackRow(*previous, item)) {
        ++repeats.back();
        continue;
      }
      rows.push_back(StackCells(item));
      repeats.push_back(0);
      Widen(widths, rows.back());
      previous = &item;
    }
  }

  const std::string rule = Rule(widths);
  std::string text = Text(texts, TCustomizedText::DialogCallStackHeader);
  text += ":\r\n" + rule + "\r\n";
  AppendRow(text, labels, widths);
  text += "\r\n" + rule + "\r\n";
  text.reserve(text.size() + rows.size() * (TotalWidth(widths) + 9));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    AppendRow(text, rows[i], widths);
    text += "\r\n";
    if (repeats[i] > 0) text += RepeatLine(repeats[i]);
  }
  text += rule + "\r\n\r\n";
  text += Text(texts, TCustomizedText::DialogModulesHeader);
  text += ":\r\n";
  return text;
}

std::string BuildModulesTable(const TCustomizedTexts& texts,
                              const std::vector<const TVexlorModuleInfo*>& modules) {
  const TCells labels = {Text(texts, TCustomizedText::ModulesHandle),
                         Text(texts, TCustomizedText::ModulesName),
                         Text(texts, TCustomizedText::ModulesDescription),
                         Text(texts, TCustomizedText::ModulesVersion),
                         Text(texts, TCustomizedText::ModulesSize),
                         Text(texts, TCustomizedText::ModulesPath)};
  TWidths widths = LabelWidths(labels);
  std::vector<TCells> rows;
  for (const TVexlorModuleInfo* module : modules) {
    if (module == nullptr) continue;
    // The handle is written as wide as its column, so a longer label gives
    // more leading zeros.
    rows.push_back(
        {HexText(module->Handle, widths[0]), ReplaceControlChars(ExtractFileName(module->FileName)),
         ReplaceControlChars(module->Description), ReplaceControlChars(module->Version),
         std::to_string(module->FileSize), ReplaceControlChars(ExtractFileDir(module->FileName))});
    Widen(widths, rows.back());
  }

  const std::string rule = Rule(widths);
  std::string text = rule + "\r\n";
  AppendRow(text, labels, widths);
  text += "\r\n" + rule + "\r\n";
  text += Rows(rows, widths);
  text += rule;
  return text;
}
