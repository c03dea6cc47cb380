// The decisions of one delivery, apart from the ways of sending: what the
// mail holds, the handlers' say before and after, the retry an error handler
// asks for, and the SMTP round over the recipients. The platform supplies
// the ways (DeliveryStageWin.cpp); the flow is the same for each.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "reporter/config/ModuleOptions.h"

// The texts of the progress window and its status line (customized texts
// 53 to 58 of the options).
struct TSendTexts {
  std::string Caption = "SMTP.";
  std::string Message = "Message";
  std::string Resolving = "Resolving MX record...";
  std::string Connecting = "Connecting with SMTP server...";
  std::string Connected = "Connected with SMTP server.";
  std::string Sending = "Sending message...";
};
TSendTexts SendTextsOf(const TVexlorModuleOptions& options);

struct TMailContent {
  std::string Recipients;  // as the options give them
  std::string Subject;
  std::string Body;
  std::vector<std::string> Attachments;  // in order: report file, screenshot
};

// The body is the message, followed by three line ends and the report when
// the report goes into the message (`reportFile` is then empty). The
// screenshot is attached when the option and the user's choice both want it.
TMailContent ComposeMailContent(const TVexlorModuleOptions& options, const std::string& reportText,
                                const std::string& reportFile, const std::string& screenshotFile,
                                bool userWantsScreenshot);

struct TSendReportSteps {
  std::function<void(bool& execute)> NotifySending;  // action 4; may clear execute
  std::function<bool()> Send;                        // one attempt by the configured path
  std::function<void(bool& retry)> NotifyFailed;     // error 5; may ask for a retry
  std::function<void(bool sent)> NotifySent;         // action 5
};

// Action 4, the attempts (again while an error handler asks), action 5.
// Returns whether the report was sent.
bool RunSendReport(const TSendReportSteps& steps);

struct TSmtpRoundSteps {
  // The recipient's mail exchanger; raises when it cannot be found.
  std::function<std::string(const std::string& recipient)> ResolveMX;
  // Records why a recipient's exchanger is unknown (the text of the error).
  std::function<void(const std::string& recipient)> Unresolved;
  std::function<bool(const std::string& host, const std::string& recipient)> Send;
  // Before each recipient: its number (from 1) and the count.
  std::function<void(int current, int count)> StartRecipient;
  std::function<void(const std::string& text)> Status;
};

// Sends to each recipient in turn, through `host` or (direct) each one's
// exchanger (status `resolving` before each lookup); a recipient whose
// exchanger is unknown is skipped. True when at least one recipient's send
// succeeded.
bool RunSmtpRound(const std::string& recipients, bool direct, const std::string& host,
                  const std::string& resolving, const TSmtpRoundSteps& steps);

// "Message 1/2: Connecting with SMTP server..." (`message` is "Message").
std::string RecipientStatusText(const std::string& message, int current, int count,
                                const std::string& text);
