// The SMTP dialogue: EHLO or HELO, STARTTLS with the certificate check when
// offered, the login, the message and QUIT, each reply checked against its codes.
#include "reporter/delivery/ClientSmtpWin.h"

#include <windows.h>

#include <algorithm>

#include "reporter/config/InternalErrors.h"
#include "reporter/config/Trace.h"
#include "reporter/delivery/AttachmentFilesWin.h"
#include "reporter/delivery/Base64.h"
#include "reporter/delivery/MimeMessage.h"
#include "reporter/delivery/SmtpReply.h"
#include "reporter/report/ReportDate.h"

namespace {

// What the log shows of a credential.
constexpr const char* kHidden = "********";
// A server that took the message is asked to end politely, but not waited
// for long.
constexpr std::uint32_t kQuitTimeout = 5000;

TReportDateTime DateTimeOf(const SYSTEMTIME& t) {
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::string LocalHostName() {
  char name[250] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

// The login's base64 on one line, however long the name or password: the
// 80-character lines of attachments would split it into two commands.
std::string LoginLine(const std::string& text) {
  std::string encoded = EncodeBase64Lines(text);
  encoded.erase(
      std::remove_if(encoded.begin(), encoded.end(), [](char c) { return c == '\r' || c == '\n'; }),
      encoded.end());
  return encoded;
}

void Status(const TSmtpProgress& progress, const std::string& text) {
  if (progress.OnStatus) progress.OnStatus(text);
}

// A configured server's certificate must check out before it gets the
// credentials or the message; a mail exchanger's need not.
void EnforceCertificate(TVexlorClientSMTP& client, const TCertificateCheck& check,
                        const TSmtpServer& server) {
  if (check.Trusted) {
    Trace("SMTP", {"TLS: the certificate checks out", server.Host});
    return;
  }
  if (server.Exchanger) {
    Trace("SMTP", {"TLS with a mail exchanger whose certificate does not check out (" +
                       check.Reason + "); used all the same, as mail servers do",
                   server.Host});
    return;
  }
  client.Refuse("The certificate of \"" + server.Host + "\" is not trusted: " + check.Reason +
                ". Neither the login nor the message was sent.");
}

bool Dialogue(const TSmtpMail& mail, const TSmtpServer& server, const TSmtpProgress& progress,
              const std::string& dateText) {
  Status(progress, progress.Texts.Connecting);
  TVexlorClientSMTP client(server.Host, server.Port, true, server.Timeout);
  client.Connect();
  if (client.Encrypted()) EnforceCertificate(client, client.GreetingCertificate(), server);
  const std::string body = ComposeMimeBody(mail.Body, ReadAttachmentFiles(mail.Attachments),
                                           CharsetOfCodePage(GetACP()));
  Status(progress, progress.Texts.Connected);
  const std::string local = LocalHostName();

  // EHLO first: it tells whether the server offers STARTTLS. A server that
  // refuses it gets the plain HELO opening.
  if (!client.Command("EHLO " + local, {250}, false)) {
    client.Command("HELO " + local, {250});
  } else if (!client.Encrypted() && SmtpReplyOffers(client.LastReply(), "STARTTLS")) {
    client.Command("STARTTLS", {220});
    EnforceCertificate(client, client.StartTls(server.Host), server);
    client.Command("EHLO " + local, {250});
  }
  client.Command("RSET", {250});
  if (!server.User.empty() || !server.Password.empty()) {
    client.Command("AUTH LOGIN", {334});
    client.Command(LoginLine(server.User), {334}, true, kHidden);
    client.Command(LoginLine(server.Password), {235}, true, kHidden);
  }
  client.Command("MAIL FROM:<" + mail.Sender + ">", {250});

  Status(progress, progress.Texts.Sending);
  TMimeHeaders headers;
  headers.Date = dateText.empty() ? MailDateNow() : dateText;
  headers.Sender = mail.Sender;
  headers.Recipient = mail.Recipient;
  headers.Subject = mail.Subject;
  const std::string data = SmtpMessageData(ComposeMimeMessage(headers, body));
  client.Command("RCPT TO:<" + mail.Recipient + ">", {250, 251});
  client.Command("DATA", {354});
  if (progress.OnProgress) client.OnProgress = progress.OnProgress;
  // The log is shown in message boxes: it names the message, not its bytes.
  client.Command(data, {250}, true, "[message data, " + std::to_string(data.size()) + " bytes]");
  client.OnProgress = nullptr;

  // Taken: the server is told the session ends; its answer no longer matters.
  try {
    client.Timeout = std::min(client.Timeout, kQuitTimeout);
    client.Command("QUIT", {221}, false);
  } catch (const Exception& e) {
    Trace("SMTP", {"QUIT unanswered", e.Message()});
  }
  return true;
}

}  // namespace

void TVexlorClientSMTP::Connect() {
  TVexlorClientSocket::Connect();
  if (Port == kImplicitTlsPort) greetingCertificate_ = StartTls(Host);
  if (!ReadReply({220})) RaiseError(Log);
}

bool TVexlorClientSMTP::ReadReply(std::initializer_list<int> accepted) {
  lastReply_ = ReceiveWithTimeout(&SmtpReplyComplete);
  const int code = SmtpReplyCode(lastReply_);
  return code >= 0 && std::find(accepted.begin(), accepted.end(), code) != accepted.end();
}

bool TVexlorClientSMTP::Command(std::string text, std::initializer_list<int> accepted,
                                bool raiseOnRefusal, const std::string& logAs) {
  if (text.empty()) return false;
  if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) text += "\r\n";
  const std::int64_t sent = SendString(text);
  if (sent != static_cast<std::int64_t>(text.size())) RaiseError(Log);
  Log += logAs.empty() ? text : logAs + "\r\n";
  if (ReadReply(accepted)) return true;
  if (raiseOnRefusal) RaiseError(Log);
  return false;
}

std::string MailDateNow() {
  SYSTEMTIME local;
  SYSTEMTIME utc;
  GetLocalTime(&local);
  GetSystemTime(&utc);
  return FormatReportDate(DateTimeOf(local), ZoneOffsetHours(DateTimeOf(local), DateTimeOf(utc)));
}

bool SendMailBySMTP(const TSmtpMail& mail, const TSmtpServer& server, const TSmtpProgress& progress,
                    const std::string& dateText) {
  TraceEnter("SendMailBySMTP", {server.Host, static_cast<unsigned>(server.Port), mail.Recipient});
  bool sent = false;
  if (server.User.empty() != server.Password.empty()) {
    // The login needs both; a half-filled one would end the send unexplained.
    ReportInternalWarning(TVexlorLogErrorCode::eeEmailSMTPError,
                          std::string("[SMTP] The SMTP ") +
                              (server.Password.empty() ? "password" : "user name") +
                              " is empty: the login to \"" + server.Host +
                              "\" cannot be made, and the message was not sent.");
  } else {
    try {
      sent = Dialogue(mail, server, progress, dateText);
    } catch (...) {
      ReportInternalWarningFromException(TVexlorLogErrorCode::eeEmailSMTPError, "SMTP");
    }
  }
  TraceExit("SendMailBySMTP", {sent});
  return sent;
}
