// Decisions of the report pipeline that need no Windows: the clean-up of a
// freshly scanned call stack, the masking of a focused password field and
// what a waiting main thread does with each message it takes.
#pragma once

#include <string>

#include "reporter/debugdata/StackList.h"

// The raw scan finds the faulting call twice at the top: once as the
// exception address, once as the return address left on the stack. The first
// of the two goes.
void DropRepeatedTopItem(TVexlorStackList& stack);
// A language raise reports its call instruction as the exception address;
// when a later row names the same address, the scan found that call on the
// stack as well and the top row only repeats it.
void DropRaiseCallNamedAgain(TVexlorStackList& stack);

// A window whose class names an edit control and whose style has the password
// bit shows only "*" in the report, one for each character.
constexpr unsigned kPasswordEditStyle = 0x20;
std::string MaskedFocusedText(const std::string& className, const std::string& text,
                              unsigned windowStyle);

// While the main thread waits for its report it keeps painting; a key or a
// button press only beeps, and everything else it takes is dropped.
enum class TWaitingMessageAction { Dispatch, Beep, Drop };
TWaitingMessageAction WaitingMessageAction(unsigned message);
// Messages taken from the queue per round of waiting.
constexpr int kWaitingMessagesPerRound = 11;
