// The SMTP client: the reply-checking layer over the client socket, and one
// send of a message to one recipient through one server, encrypted when the
// server offers it.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "reporter/delivery/ClientSocketWin.h"
#include "reporter/delivery/DeliveryFlow.h"

// The port on which a server speaks TLS from the first byte.
inline constexpr std::uint16_t kImplicitTlsPort = 465;

class TVexlorClientSMTP : public TVexlorClientSocket {
 public:
  using TVexlorClientSocket::TVexlorClientSocket;

  // Connects (with TLS first on port 465) and reads the greeting, which must
  // be 220; otherwise raises with the conversation log as the message.
  void Connect() override;

  // Reads one whole reply; true when its code is accepted.
  bool ReadReply(std::initializer_list<int> accepted);
  // Sends the text (CR LF added unless it ends so) and reads the reply.
  // An empty text sends nothing and answers false. A refused reply raises
  // with the log, unless `raiseOnRefusal` is false. The log records `logAs`
  // in place of the text when it is given (credentials, the message data).
  bool Command(std::string text, std::initializer_list<int> accepted, bool raiseOnRefusal = true,
               const std::string& logAs = {});

  const std::string& LastReply() const { return lastReply_; }
  // What the certificate check found when TLS started on port 465.
  const TCertificateCheck& GreetingCertificate() const { return greetingCertificate_; }
  // Raises EVexlorSocketError with the conversation log.
  [[noreturn]] void Refuse(std::string message) { RaiseError(std::move(message)); }

 private:
  std::string lastReply_;
  TCertificateCheck greetingCertificate_;
};

struct TSmtpMail {
  std::string Sender;
  std::string Recipient;
  std::string Subject;
  std::string Body;
  std::vector<std::string> Attachments;  // file names; missing ones are left out
};

struct TSmtpServer {
  std::string Host;
  std::uint16_t Port = 25;
  std::string User;
  std::string Password;
  // A recipient's mail exchanger (SMTPServer mode): TLS is used when offered
  // whatever its certificate, as mail servers do among themselves. A
  // configured server (SMTPClient mode) gets neither the credentials nor the
  // message over TLS whose certificate does not check out.
  bool Exchanger = false;
  std::uint32_t Timeout = 30000;  // per reply
};

struct TSmtpProgress {
  TSendTexts Texts;  // the status texts passed to OnStatus
  std::function<void(const std::string& text)> OnStatus;
  TSocketProgressEvent OnProgress;  // while the message data is sent
};

// One message to one recipient. Never raises: a failure records the
// internal warning eeEmailSMTPError ("[SMTP] ...") and answers false.
// `dateText` empty takes the present moment.
bool SendMailBySMTP(const TSmtpMail& mail, const TSmtpServer& server,
                    const TSmtpProgress& progress = {}, const std::string& dateText = {});

// The Date header's text for the present moment, in the local zone.
std::string MailDateNow();
