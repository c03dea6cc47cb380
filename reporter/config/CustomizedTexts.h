// The 71 user-visible texts of the crash reporter: captions, report labels,
// column titles and dialog messages. Every module carries its own wording in
// its options, so texts are always looked up through an options object.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// windows.h defines SendMessage as a macro; the text identifier keeps its name.
#pragma push_macro("SendMessage")
#undef SendMessage

enum class TCustomizedText : std::uint8_t {
  MsgCaptionInformation = 0,
  MsgCaptionQuestion = 1,
  DialogCaption = 2,
  DialogErrorMessage = 3,
  DialogGeneralCaption = 4,
  DialogGeneralHeader = 5,
  DialogCallStackCaption = 6,
  DialogCallStackHeader = 7,
  DialogModulesCaption = 8,
  DialogModulesHeader = 9,
  DialogCPUCaption = 10,
  DialogCPUHeader = 11,
  DialogOKButton = 12,
  DialogTerminateButton = 13,
  DialogRestartButton = 14,
  DialogDetailsButton = 15,
  DialogEmailCheck = 16,
  DialogScreenshotCheck = 17,
  DialogCopyButton = 18,
  LogApplicationHeader = 19,
  LogAppStartDate = 20,
  LogAppName = 21,
  LogAppVersionNumber = 22,
  LogAppParameters = 23,
  LogExceptionHeader = 24,
  LogExcDate = 25,
  LogExcAddress = 26,
  LogExcModule = 27,
  LogExcType = 28,
  LogExcMessage = 29,
  LogActiveControlsHeader = 30,
  LogActFormClass = 31,
  LogActFormText = 32,
  LogActControlClass = 33,
  LogActControlText = 34,
  LogComputerHeader = 35,
  LogCmpName = 36,
  LogCmpUser = 37,
  LogCmpTotalMemory = 38,
  LogCmpFreeMemory = 39,
  LogCmpTotalDisk = 40,
  LogCmpFreeDisk = 41,
  LogOSHeader = 42,
  LogOSType = 43,
  LogOSBuild = 44,
  LogOSUpdate = 45,
  LogOSLanguage = 46,
  CallStackAddress = 47,
  CallStackModule = 48,
  CallStackUnit = 49,
  CallStackClass = 50,
  CallStackProcedure = 51,
  CallStackLine = 52,
  SendCaption = 53,
  SendMessage = 54,
  SendResolving = 55,
  SendConnecting = 56,
  SendConnected = 57,
  SendSending = 58,
  ReproduceCaption = 59,
  ReproduceRequest = 60,
  ReproduceOKButton = 61,
  ModulesHandle = 62,
  ModulesName = 63,
  ModulesDescription = 64,
  ModulesVersion = 65,
  ModulesSize = 66,
  ModulesPath = 67,
  CPURegisters = 68,
  CPUStack = 69,
  CPUMemoryDump = 70,
};

#pragma pop_macro("SendMessage")

constexpr int CustomizedTextCount = 71;

// Texts are 8-bit strings in the system code page, like everything the
// reporter writes.
using TCustomizedTexts = std::array<std::string, CustomizedTextCount>;

// Where a configuration editor lists a text. Groups nested under "Log" are
// written as "Log / <group>".
struct TCustomizedTextLabel {
  std::string_view Group;
  std::string_view Item;
};

const TCustomizedTexts& DefaultCustomizedTexts();

// The identifier of a text ("MsgCaptionInformation" ... "CPUMemoryDump"), or an
// empty view for an index out of range.
std::string_view CustomizedTextIdentifier(int index);

// Index of an identifier, or -1 when no text has that name.
int CustomizedTextIndex(std::string_view identifier);

TCustomizedTextLabel CustomizedTextLabel(int index);

// The nine editor groups, root first ("Texts", "Message captions", ...).
const std::array<std::string_view, 9>& CustomizedTextGroups();
