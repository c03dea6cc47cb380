// The delivery's decisions as plain functions over the steps the platform
// passes in, so each rule is tested without a network or a window.
#include "reporter/delivery/DeliveryFlow.h"

#include <cstdio>

#include "reporter/config/CustomizedTexts.h"
#include "reporter/delivery/MailAddresses.h"

TSendTexts SendTextsOf(const TVexlorModuleOptions& options) {
  const auto text = [&](TCustomizedText id) { return options.Text(static_cast<std::uint8_t>(id)); };
  TSendTexts texts;
  texts.Caption = text(TCustomizedText::SendCaption);
  texts.Message = text(TCustomizedText::SendMessage);
  texts.Resolving = text(TCustomizedText::SendResolving);
  texts.Connecting = text(TCustomizedText::SendConnecting);
  texts.Connected = text(TCustomizedText::SendConnected);
  texts.Sending = text(TCustomizedText::SendSending);
  return texts;
}

TMailContent ComposeMailContent(const TVexlorModuleOptions& options, const std::string& reportText,
                                const std::string& reportFile, const std::string& screenshotFile,
                                bool userWantsScreenshot) {
  TMailContent mail;
  mail.Recipients = options.EmailAddresses();
  mail.Subject = options.EmailSubject();
  mail.Body = options.EmailMessage();
  if (options.AppendLogToMessage())
    mail.Body += "\r\n\r\n\r\n" + reportText;
  else if (!reportFile.empty())
    mail.Attachments.push_back(reportFile);
  if (userWantsScreenshot && options.AttachScreenshot() && !screenshotFile.empty())
    mail.Attachments.push_back(screenshotFile);
  return mail;
}

bool RunSendReport(const TSendReportSteps& steps) {
  bool execute = true;
  if (steps.NotifySending) steps.NotifySending(execute);
  if (execute) {
    bool retry = false;
    do {
      execute = steps.Send();
      retry = false;
      if (!execute && steps.NotifyFailed) steps.NotifyFailed(retry);
    } while (retry);
  }
  if (steps.NotifySent) steps.NotifySent(execute);
  return execute;
}

bool RunSmtpRound(const std::string& recipients, bool direct, const std::string& host,
                  const std::string& resolving, const TSmtpRoundSteps& steps) {
  const std::vector<std::string> list = SplitRecipients(recipients);
  const int count = static_cast<int>(list.size());
  bool sentOnce = false;
  for (int i = 0; i < count; ++i) {
    const std::string& recipient = list[static_cast<std::size_t>(i)];
    if (steps.StartRecipient) steps.StartRecipient(i + 1, count);
    std::string target = host;
    if (direct) {
      if (steps.Status) steps.Status(resolving);
      try {
        target = steps.ResolveMX(recipient);
      } catch (...) {
        // The others still get the report.
        if (steps.Unresolved) steps.Unresolved(recipient);
        continue;
      }
    }
    if (steps.Send(target, recipient)) sentOnce = true;
  }
  return sentOnce;
}

std::string RecipientStatusText(const std::string& message, int current, int count,
                                const std::string& text) {
  char numbers[32];
  std::snprintf(numbers, sizeof numbers, " %d/%d: ", current, count);
  return message + numbers + text;
}
