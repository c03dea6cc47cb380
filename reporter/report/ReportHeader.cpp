// The header block's sections and lines, each value shown as the LogItems bits
// choose, cleaned of control bytes.
#include "reporter/report/ReportHeader.h"

#include "reporter/report/LogItem.h"
#include "reporter/report/TextFilters.h"

namespace {

struct TSection {
  TCustomizedText label;
  int firstBit;
  int lineCount;
};

constexpr TSection kSections[] = {
    {TCustomizedText::LogApplicationHeader, 0, 4},
    {TCustomizedText::LogExceptionHeader, 4, 5},
    {TCustomizedText::LogActiveControlsHeader, 9, 4},
    {TCustomizedText::LogComputerHeader, 13, 6},
    {TCustomizedText::LogOSHeader, 19, 4},
};
constexpr int kActiveControlsSection = 2;

}  // namespace

std::string BuildReportHeader(const TCustomizedTexts& texts, std::uint32_t logItems,
                              const TReportFacts& facts, bool showActiveControls) {
  // Values in line order; each line's label is the text that follows its
  // section's label, from Start Date (20) to Language (46).
  const std::string* const values[] = {
      &facts.StartDate,       &facts.AppName,       &facts.AppVersion,
      &facts.Parameters,      &facts.ExceptionDate, &facts.ExceptionAddress,
      &facts.ExceptionModule, &facts.ExceptionType, &facts.ExceptionMessage,
      &facts.FormClass,       &facts.FormText,      &facts.ControlClass,
      &facts.ControlText,     &facts.ComputerName,  &facts.UserName,
      &facts.TotalMemory,     &facts.FreeMemory,    &facts.TotalDisk,
      &facts.FreeDisk,        &facts.OSType,        &facts.OSBuild,
      &facts.OSUpdate,        &facts.OSLanguage,
  };

  TLogItem item;
  for (int s = 0; s < static_cast<int>(std::size(kSections)); ++s) {
    const TSection& section = kSections[s];
    const int labelIndex = static_cast<int>(section.label);
    item.AddSection(texts[static_cast<std::size_t>(labelIndex)]);
    for (int line = 0; line < section.lineCount; ++line) {
      const int bit = section.firstBit + line;
      bool visible = (logItems >> bit & 1u) != 0;
      if (s == kActiveControlsSection) visible = visible && showActiveControls;
      // Every value loses its control bytes, not only the messages and
      // captions: one line break in a value would shift the line numbers the
      // log file reads values back by.
      item.AddItem(texts[static_cast<std::size_t>(labelIndex + 1 + line)],
                   ReplaceControlChars(*values[bit]), visible);
    }
  }
  return std::string(kReportBanner) + "\r\n\r\n" + item.GetText();
}
