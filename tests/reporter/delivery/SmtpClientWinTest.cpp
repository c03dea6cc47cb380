// The socket, the SMTP client and the MX lookup against the harness's real
// servers (aiosmtpd, dnsmasq) on loopback, with and without TLS.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include "reporter/config/InternalErrors.h"
#include "reporter/delivery/ClientSmtpWin.h"
#include "reporter/delivery/MimeMessage.h"
#include "reporter/delivery/MxLookupWin.h"
#include "reporter/delivery/SmtpReply.h"
#include "tests/reporter/delivery/MailServersWin.h"

namespace {

constexpr const char* kDate = "Mon, 7 Dec 2026 03:04:33 +0300";

std::string TempFile(const std::string& name, const std::string& content) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string path = std::string(folder) + name;
  WriteWholeFile(path, content);
  return path;
}

// What the server must have stored for the mail: the composed message.
std::string Expected(const TSmtpMail& mail, const std::vector<TMimeAttachment>& files) {
  TMimeHeaders headers{kDate, mail.Sender, mail.Recipient, mail.Subject};
  return ComposeMimeMessage(headers,
                            ComposeMimeBody(mail.Body, files, CharsetOfCodePage(GetACP())));
}

TSmtpMail Mail(const std::string& recipient = "ops@site.test") {
  TSmtpMail mail;
  mail.Sender = "player@kiosk.test";
  mail.Recipient = recipient;
  mail.Subject = "Crash report";
  // A line holding only "." must not end the message early.
  mail.Body = "The player stopped.\r\n.\r\n.leading dot\r\nEnd";
  return mail;
}

TSmtpServer Server(const std::string& listener, const std::string& host = {}) {
  TSmtpServer server;
  server.Host = host.empty() ? MailState("host_" + listener) : host;
  server.Port = MailPort(listener);
  return server;
}

TSmtpServer Login(TSmtpServer server) {
  server.User = "tester";
  server.Password = "secret";
  return server;
}

// Sends and expects the one new message of the listener to be `expected`.
void ExpectDelivered(const std::string& listener, const TSmtpMail& mail, const TSmtpServer& server,
                     const std::string& expected) {
  const std::size_t before = StoredMessages(listener).size();
  ClearLastInternalWarning();
  ASSERT_TRUE(SendMailBySMTP(mail, server, {}, kDate)) << LastInternalWarning().Message;
  const std::vector<std::string> stored = StoredMessages(listener);
  ASSERT_EQ(stored.size(), before + 1);
  EXPECT_EQ(stored.back(), expected);
}

// Sends, expects false and returns the warning.
std::string ExpectRefused(const TSmtpMail& mail, const TSmtpServer& server) {
  ClearLastInternalWarning();
  EXPECT_FALSE(SendMailBySMTP(mail, server, {}, kDate));
  const TVexlorInternalWarning warning = LastInternalWarning();
  EXPECT_EQ(warning.Code, TVexlorLogErrorCode::eeEmailSMTPError);
  return warning.Message;
}

class TestCAInRootStore : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string der = ReadWholeFile(WinePath(MailState("ca")));
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "ROOT");
    ASSERT_NE(store, nullptr);
    ASSERT_TRUE(CertAddEncodedCertificateToStore(
        store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr));
    CertCloseStore(store, 0);
  }
};
const auto* const kTestCA = ::testing::AddGlobalTestEnvironment(new TestCAInRootStore);

}  // namespace

TEST(ClientSocket, LogTimeoutProgressAndConnectionErrors) {
  TVexlorClientSocket silent(MailState("host_silent"), MailPort("silent"), true, 300);
  silent.Connect();
  EXPECT_EQ(silent.Log, "Connected to " + MailState("host_silent") + " port " +
                            std::to_string(MailPort("silent")) + "\r\n");
  std::vector<std::int64_t> positions;
  silent.OnProgress = [&](TVexlorClientSocket&, std::int64_t position, std::int64_t total) {
    positions.push_back(position);
    EXPECT_EQ(total, 2500);
  };
  EXPECT_EQ(silent.SendString(std::string(2500, 'x')), 2500);
  EXPECT_EQ(positions, (std::vector<std::int64_t>{1025, 2049, 2501}));
  try {
    silent.ReceiveWithTimeout();
    ADD_FAILURE() << "no time-out";
  } catch (const EVexlorSocketError& e) {
    EXPECT_EQ(e.Message(), "Socket timeout.\r\nSocket log:\r\nConnected to " +
                               MailState("host_silent") + " port " +
                               std::to_string(MailPort("silent")) + "\r\n");
  }

  // A dead port and a name that resolves to nothing both fail at connect.
  for (const std::string& host : {MailState("host_smtp"), std::string("nowhere.test")}) {
    TVexlorClientSocket socket(host, host == "nowhere.test" ? 25 : 1, true, 1000);
    try {
      socket.Connect();
      ADD_FAILURE() << host;
    } catch (const EVexlorSocketError& e) {
      EXPECT_EQ(e.Message().rfind("Connection error: \"", 0), 0u) << e.Message();
    }
  }
}

TEST(ClientSocket, APeerThatClosedIsSeenAtOnceWithTheConversation) {
  TVexlorClientSocket socket(MailState("host_smtp"), MailPort("smtp"), true, 30000);
  socket.Connect();
  EXPECT_EQ(socket.ReceiveWithTimeout(&SmtpReplyComplete).substr(0, 4), "220 ");
  socket.SendString("QUIT\r\n");
  EXPECT_EQ(socket.ReceiveWithTimeout(&SmtpReplyComplete).substr(0, 4), "221 ");
  // Not "Socket timeout.": the reader does not wait out the 30 s.
  try {
    socket.ReceiveWithTimeout();
    ADD_FAILURE() << "no error";
  } catch (const EVexlorSocketError& e) {
    EXPECT_EQ(
        e.Message().rfind("Error into \"recv\": \"The connection was closed by the peer.\"\r\n"
                          "Socket log:\r\nConnected to ",
                          0),
        0u)
        << e.Message();
    EXPECT_NE(e.Message().find("\r\n221 "), std::string::npos);
  }
  EXPECT_FALSE(socket.Connected());
}

TEST(SmtpClient, PlainSendArrivesByteExactAndEndsWithQuit) {
  const std::string report = TempFile("Player.vlf", "Report line 1\r\n.\r\nReport line 3\r\n");
  const std::string missing = TempFile("gone.png", "") + ".missing";
  TSmtpMail mail = Mail();
  mail.Attachments = {report, missing, "  "};
  ExpectDelivered("smtp", mail, Server("smtp"),
                  Expected(mail, {{"Player.vlf", ReadWholeFile(report)}}));
  const std::string transcript = Transcript("smtp");
  EXPECT_NE(transcript.find("EHLO "), std::string::npos);
  EXPECT_NE(transcript.find("RSET\r\nMAIL FROM:<player@kiosk.test>\r\nRCPT TO:<ops@site.test>"),
            std::string::npos);
  EXPECT_NE(transcript.find("\r\n..\r\n..leading dot\r\n"), std::string::npos);
  EXPECT_EQ(transcript.substr(transcript.size() - 6), "QUIT\r\n");
  EXPECT_EQ(transcript.find("AUTH"), std::string::npos);
}

TEST(SmtpClient, LoginAndA251RecipientAreAccepted) {
  const TSmtpMail mail = Mail("forward@site.test");
  ExpectDelivered("smtp", mail, Login(Server("smtp")), Expected(mail, {}));
  EXPECT_NE(Transcript("smtp").find("AUTH LOGIN\r\ndGVzdGVy\r\nc2VjcmV0\r\n"), std::string::npos);
}

TEST(SmtpClient, ServerRefusingEhloGetsHelo) {
  const TSmtpMail mail = Mail();
  ExpectDelivered("noehlo", mail, Server("noehlo"), Expected(mail, {}));
  EXPECT_NE(Transcript("noehlo").find("HELO "), std::string::npos);
}

TEST(SmtpClient, FailuresEndFalseWithTheirWarning) {
  TSmtpServer wrong = Login(Server("smtp"));
  wrong.Password = "wrong";
  std::string warning = ExpectRefused(Mail(), wrong);
  EXPECT_EQ(warning.rfind("[SMTP] Connected to ", 0), 0u) << warning;
  EXPECT_NE(warning.find("AUTH LOGIN\r\n334 "), std::string::npos) << warning;
  EXPECT_NE(warning.find("********\r\n535 "), std::string::npos) << warning;
  EXPECT_EQ(warning.find("d3Jvbmc="), std::string::npos) << warning;  // "wrong"
  EXPECT_EQ(warning.find("dGVzdGVy"), std::string::npos) << warning;  // "tester"

  warning = ExpectRefused(Mail("refused@site.test"), Server("smtp"));
  EXPECT_NE(warning.find("RCPT TO:<refused@site.test>\r\n550 No such user here\r\n"),
            std::string::npos)
      << warning;

  TSmtpServer dead = Server("smtp");
  dead.Port = 1;
  warning = ExpectRefused(Mail(), dead);
  EXPECT_EQ(warning.rfind("[SMTP] Connection error: \"", 0), 0u) << warning;

  TSmtpServer silent = Server("silent");
  silent.Timeout = 1000;
  warning = ExpectRefused(Mail(), silent);
  EXPECT_EQ(warning.rfind("[SMTP] Socket timeout.\r\nSocket log:\r\nConnected to ", 0), 0u)
      << warning;

  TSmtpServer half = Server("smtp");
  half.User = "tester";
  warning = ExpectRefused(Mail(), half);
  EXPECT_NE(warning.find("The SMTP password is empty"), std::string::npos) << warning;
}

TEST(MxLookup, SystemServerAndLowestPreference) {
  EXPECT_EQ(DnsServers(), std::vector<std::string>{MailState("dns")});
  EXPECT_EQ(ResolveMX("someone@one.test"), "mx.one.test");
  EXPECT_EQ(ResolveMX("two.test"), "mx.two.test");
  try {
    ResolveMX("someone@nowhere.test");
    ADD_FAILURE() << "resolved";
  } catch (const EVexlorSocketError& e) {
    EXPECT_EQ(e.Message(), "Cannot resolve the \"nowhere.test\" MX record.");
  }
}

TEST(SmtpTls, StartTlsAndImplicitTlsWithLoginArriveByteExact) {
  const TSmtpMail mail = Mail();
  ExpectDelivered("starttls", mail, Login(Server("starttls", "starttls.test")), Expected(mail, {}));
  const std::string transcript = Transcript("starttls");
  EXPECT_NE(transcript.find("STARTTLS\r\n"), std::string::npos);
  ExpectDelivered("implicit", mail, Login(Server("implicit", "smtps.test")), Expected(mail, {}));
}

TEST(SmtpTls, UntrustedCertificatesStopTheSendBeforeTheLogin) {
  const struct {
    const char* listener;
    const char* reason;
  } cases[] = {
      {"selfsigned", "root certificate is not trusted"},
      {"othername", "made out for another name than \"othername.test\""},
      {"unknownca", "issuer is unknown"},
  };
  for (const auto& c : cases) {
    const std::string host = std::string(c.listener) + ".test";
    const std::string warning = ExpectRefused(Mail(), Login(Server(c.listener, host)));
    EXPECT_NE(warning.find("The certificate of \"" + host + "\" is not trusted: "),
              std::string::npos)
        << warning;
    EXPECT_NE(warning.find(c.reason), std::string::npos) << warning;
    EXPECT_EQ(Transcript(c.listener).find("AUTH"), std::string::npos) << c.listener;
    EXPECT_TRUE(StoredMessages(c.listener).empty());
  }
  // Mail exchangers take TLS as it comes.
  TSmtpServer exchanger = Server("selfsigned", "selfsigned.test");
  exchanger.Exchanger = true;
  const TSmtpMail mail = Mail();
  ExpectDelivered("selfsigned", mail, exchanger, Expected(mail, {}));
}
