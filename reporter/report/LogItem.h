// The report's header block: numbered "label: value" lines in sections, the
// colons of each section in one column and a rule under each section label as
// long as the section's longest line. The log file reads values back by these
// line numbers, so numbering and layout are exact.
#pragma once

#include <string>
#include <string_view>

class TLogItem {
 public:
  TLogItem() { Clear(); }

  void Clear();
  void AddSection(std::string_view label);
  // Hidden lines still take their number, so the numbers of a section never
  // shift when the operator switches a line off.
  void AddItem(std::string_view label, std::string_view value, bool visible);
  std::string GetText() const;

 private:
  std::string FText;
  int FSectionNo = 0;
  int FItemNo = 0;
};
