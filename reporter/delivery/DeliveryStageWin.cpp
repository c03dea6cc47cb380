// The delivery stage on Windows: SMTP with its progress window, else Simple
// MAPI, else "mailto:"; also the sender of the internal errors' mail.
#include "reporter/delivery/DeliveryStageWin.h"

#include <windows.h>

#include "reporter/config/InternalErrors.h"
#include "reporter/config/ModuleOptionsEx.h"
#include "reporter/config/Trace.h"
#include "reporter/delivery/ClientSmtpWin.h"
#include "reporter/delivery/DeliveryFilesWin.h"
#include "reporter/delivery/DeliveryFlow.h"
#include "reporter/delivery/MxLookupWin.h"
#include "reporter/delivery/ScreenshotStageWin.h"
#include "reporter/delivery/SmtpProgressWin.h"
#include "reporter/delivery/SystemMailWin.h"
#include "reporter/pipeline/ConsoleReport.h"
#include "reporter/pipeline/DeliveryStage.h"
#include "reporter/pipeline/EventHandlers.h"
#include "reporter/pipeline/ExceptionRecord.h"
#include "reporter/pipeline/ReporterStateWin.h"
#include "reporter/pipeline/ScreenshotStage.h"
#include "reporter/pipeline/WebOutputStage.h"
#include "reporter/report/ReportText.h"
#include "runtime/Exceptions.h"

namespace {

bool IsSmtpMode(TEmailSendMode mode) {
  return mode == TEmailSendMode::SMTPClient || mode == TEmailSendMode::SMTPServer;
}

// The SMTP paths with their progress window.
bool SendBySmtp(const TVexlorModuleOptionsEx& options, const TMailContent& mail) {
  TSmtpProgressWindow window;
  const TSendTexts texts = SendTextsOf(options);
  const bool gui = !IsConsoleApplication() && !WebOutputStage().IsWebApplication();
  if (options.ShowSendDialog() && gui) window.Open(options.CustomDialogStyle(), texts);
  TSmtpRoundSteps steps;
  steps.StartRecipient = [&](int current, int count) { window.StartRecipient(current, count); };
  steps.Status = [&](const std::string& text) { window.Status(text); };
  steps.ResolveMX = [](const std::string& recipient) { return ResolveMX(recipient); };
  steps.Unresolved = [](const std::string&) {
    ReportInternalWarningFromException(TVexlorLogErrorCode::eeEmailSMTPError, "SMTP");
  };
  const bool direct = options.EmailSendMode() == TEmailSendMode::SMTPServer;
  steps.Send = [&](const std::string& host, const std::string& recipient) {
    TSmtpMail message;
    message.Sender = options.SMTPFrom();
    message.Recipient = recipient;
    message.Subject = mail.Subject;
    message.Body = mail.Body;
    message.Attachments = mail.Attachments;
    TSmtpServer server;
    server.Host = host;
    server.Port = options.SMTPPort();
    server.User = options.SMTPUserID();
    server.Password = options.SMTPPassword();
    server.Exchanger = direct;
    TSmtpProgress progress;
    progress.Texts = texts;
    progress.OnStatus = [&](const std::string& text) { window.Status(text); };
    if (window.IsOpen()) {
      progress.OnProgress = [&](TVexlorClientSocket&, std::int64_t position, std::int64_t total) {
        window.Progress(total > 0 ? static_cast<int>(position * 100 / total) : 0);
      };
    }
    return SendMailBySMTP(message, server, progress);
  };
  bool sent = false;
  try {
    sent = RunSmtpRound(mail.Recipients, direct, options.SMTPHost(), texts.Resolving, steps);
  } catch (...) {
    ReportInternalWarningFromException(TVexlorLogErrorCode::eeEmailSMTPError, "SMTP");
  }
  window.Close();
  return sent;
}

class TDeliveryStage : public TVexlorDeliveryStage {
 public:
  bool SendReport(TVexlorExceptionRecord& record) override {
    TraceEnter("SendReport");
    ClearLastInternalWarning();
    const TVexlorModuleOptionsEx& options = WorkingOptions();
    // The e-mail's report: the report as the log file left it (with the
    // user's steps, or with SendEntireLog the whole log).
    const std::string& emailText =
        CurrentReport().LogText.empty() ? record.LogText : CurrentReport().LogText;
    std::string reportFile;
    if (!options.AppendLogToMessage()) {
      reportFile = ReportFileName(options);
      if (!WriteTextFile(reportFile, emailText))
        Trace("SendReport", {"no report file", reportFile});
    }
    const TMailContent mail = ComposeMailContent(
        options, emailText, reportFile, ScreenshotFileName(), PipelineState().ScreenshotFlag);
    TSendReportSteps steps;
    steps.NotifySending = [&](bool& execute) {
      RunActionNotify(record, TVexlorAction::atSendingEmail, execute);
    };
    steps.Send = [&] {
      if (IsSmtpMode(options.EmailSendMode())) return SendBySmtp(options, mail);
      if (SendMailByMAPI(mail.Recipients, mail.Subject, mail.Body, mail.Attachments)) return true;
      return SendMailByShell(mail.Recipients, mail.Subject,
                             options.EmailMessage() + "\r\n\r\n\r\n" + record.LogText);
    };
    steps.NotifyFailed = [&](bool& retry) {
      RunErrorNotify(record, TVexlorAction::atSentEmail, retry);
    };
    steps.NotifySent = [&](bool sent) {
      bool execute = sent;
      RunActionNotify(record, TVexlorAction::atSentEmail, execute);
    };
    bool sent = false;
    try {
      sent = RunSendReport(steps);
    } catch (...) {
      ReportInternalWarningFromException(TVexlorLogErrorCode::eeEmailSMTPError, "SMTP");
    }
    if (!reportFile.empty()) DeleteFileA(reportFile.c_str());
    TraceExit("SendReport", {sent});
    return sent;
  }
};

// The internal errors' mail to the reporter's support address.
class TSystemMail : public TSystemMailSender {
 public:
  bool Send(const std::string& recipient, const std::string& subject, const std::string& body,
            const std::string& attachmentFile) override {
    return SendMailByMAPI(recipient, subject, body, {attachmentFile}) ||
           SendMailByShell(recipient, subject, body);
  }
};

}  // namespace

TVexlorDeliveryStage& VexlorDeliveryStage() {
  static auto* stage = new TDeliveryStage;
  return *stage;
}

void InstallDelivery() {
  static auto* mail = new TSystemMail;
  SetScreenshotStage(&VexlorScreenshotStage());
  SetDeliveryStage(&VexlorDeliveryStage());
  SetSystemMailSender(mail);
}
