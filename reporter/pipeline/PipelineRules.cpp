// The pipeline's rules as plain functions: dropping repeated top rows, the
// password mask, and each message's fate while the main thread waits.
#include "reporter/pipeline/PipelineRules.h"

#include <algorithm>
#include <cctype>
#include <iterator>

void DropRepeatedTopItem(TVexlorStackList& stack) {
  if (stack.Count() >= 2 && stack.Items(0).Address == stack.Items(1).Address) stack.Delete(0);
}

void DropRaiseCallNamedAgain(TVexlorStackList& stack) {
  for (std::size_t i = 1; i < stack.Count(); ++i) {
    if (stack.Items(i).Address == stack.Items(0).Address) {
      stack.Delete(0);
      return;
    }
  }
}

std::string MaskedFocusedText(const std::string& className, const std::string& text,
                              unsigned windowStyle) {
  std::string upper = className;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if ((windowStyle & kPasswordEditStyle) && upper.find("EDIT") != std::string::npos) {
    return std::string(text.size(), '*');
  }
  return text;
}

TWaitingMessageAction WaitingMessageAction(unsigned message) {
  // Painting and what goes with it: a window that stays blank while a report
  // is made looks like a hung program.
  static constexpr unsigned kDispatched[] = {0x000B, 0x000F, 0x0014, 0x0026, 0x0027, 0x007E,
                                             0x0085, 0x0317, 0x0318, 0x8002, 0x8003};
  // A character, a left, right or middle button press.
  static constexpr unsigned kBeeped[] = {0x0102, 0x0201, 0x0204, 0x0207};
  if (std::find(std::begin(kDispatched), std::end(kDispatched), message) != std::end(kDispatched))
    return TWaitingMessageAction::Dispatch;
  if (std::find(std::begin(kBeeped), std::end(kBeeped), message) != std::end(kBeeped))
    return TWaitingMessageAction::Beep;
  return TWaitingMessageAction::Drop;
}
