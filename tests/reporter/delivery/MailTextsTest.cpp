// Reply codes, recipients and the "mailto:" command line.
#include <gtest/gtest.h>

#include "reporter/delivery/MailAddresses.h"
#include "reporter/delivery/MailtoUrl.h"
#include "reporter/delivery/SmtpReply.h"

using Recipients = std::vector<std::string>;

TEST(SmtpReply, CodesOfSingleAndMultiLineReplies) {
  EXPECT_EQ(SmtpReplyCode("220 mail.test ESMTP\r\n"), 220);
  EXPECT_EQ(SmtpReplyCode("250-mail.test\r\n250-SIZE 1000\r\n250 HELP\r\n"), 250);
  EXPECT_EQ(SmtpReplyCode("5"), 5);
  EXPECT_EQ(SmtpReplyCode("hello"), -1);
  EXPECT_EQ(SmtpReplyCode(""), -1);
  EXPECT_EQ(SmtpReplyCode("99999999999999999999 x"), -1);

  EXPECT_TRUE(SmtpReplyComplete("250 OK\r\n"));
  EXPECT_TRUE(SmtpReplyComplete("250\r\n"));
  EXPECT_TRUE(SmtpReplyComplete("250-a\r\n250-b\r\n250 c\r\n"));
  EXPECT_FALSE(SmtpReplyComplete("250-a\r\n250-b\r\n"));
  EXPECT_FALSE(SmtpReplyComplete("250 OK"));
  EXPECT_FALSE(SmtpReplyComplete("250-a\r\n250 c"));
  EXPECT_FALSE(SmtpReplyComplete(""));
}

TEST(SmtpReply, ExtensionsOfAnEhloReply) {
  const std::string ehlo = "250-mail.test\r\n250-starttls\r\n250-AUTH LOGIN PLAIN\r\n250 SIZE\r\n";
  EXPECT_TRUE(SmtpReplyOffers(ehlo, "STARTTLS"));
  EXPECT_TRUE(SmtpReplyOffers(ehlo, "AUTH"));
  EXPECT_TRUE(SmtpReplyOffers(ehlo, "SIZE"));
  EXPECT_FALSE(SmtpReplyOffers(ehlo, "START"));
  EXPECT_FALSE(SmtpReplyOffers("250 mail.test STARTTLS\r\n", "STARTTLS"));
}

TEST(MailAddresses, SplitAtCommasAndSemicolons) {
  EXPECT_EQ(SplitRecipients("a;b , c"), (Recipients{"a", "b", "c"}));
  EXPECT_EQ(SplitRecipients("a;;b"), (Recipients{"a", "", "b"}));
  EXPECT_EQ(SplitRecipients(" a@x.test; "), (Recipients{"a@x.test"}));
  EXPECT_EQ(SplitRecipients("a,"), (Recipients{"a"}));
  EXPECT_EQ(SplitRecipients("  "), Recipients{});
}

TEST(MailtoUrl, EncodingKeepsLettersDigitsDashAndHighBytes) {
  EXPECT_EQ(MailtoEncode("Error report"), "Error%20report");
  EXPECT_EQ(MailtoEncode("a\r\nb-9.?&"), "a%0D%0Ab-9%2E%3F%26");
  EXPECT_EQ(MailtoEncode("\xCE\xF8\xE8\xE1\xEA\xE0"), "\xCE\xF8\xE8\xE1\xEA\xE0");
  EXPECT_EQ(MailtoUrl("a@x.test;b@y.test", "S s", "B"),
            "mailto:a@x.test;b@y.test?Subject=S%20s&Body=B");
}

TEST(MailtoUrl, CommandLineCutsTheBodyToFit) {
  const std::string command = "\"mail.exe\" \"%1\"";
  EXPECT_EQ(MailtoCommandLine(command, "a@x.test", "S", "body"),
            "\"mail.exe\" \"mailto:a@x.test?Subject=S&Body=body\"");
  EXPECT_EQ(MailtoCommandLine("mail.exe", "a@x.test", "S", "body"), "mail.exe");

  const std::string body = "line one\r\nline two\r\n" + std::string(100000, 'r');
  const std::string line = MailtoCommandLine(command, "a@x.test;b@y.test", "S", body);
  EXPECT_LE(line.size(), kMaxCommandLine);
  EXPECT_GT(line.size(), kMaxCommandLine - 3);
  EXPECT_NE(line.find("mailto:a@x.test;b@y.test?Subject=S&Body=line%20one%0D%0Aline"),
            std::string::npos);
  // Two uses of the URL share the room; a line end is never cut in half.
  std::string lines;
  for (int i = 0; i < 1000; ++i) lines += "x\r\n";
  for (std::size_t limit = 150; limit < 170; ++limit) {
    const std::string twice = MailtoCommandLine("m.exe %1 %1", "a@x.test", "S", lines, limit);
    EXPECT_LE(twice.size(), limit);
    EXPECT_GT(twice.size(), limit - 12);
    for (std::size_t at = twice.find("%0D"); at != std::string::npos;
         at = twice.find("%0D", at + 1))
      EXPECT_EQ(twice.substr(at + 3, 3), "%0A") << limit;
  }
  // Recipients that alone are too long are kept whole, with an empty body.
  const std::string many(300, 'a');
  EXPECT_NE(MailtoCommandLine(command, many, "S", "body", 100).find(many + "?Subject=S&Body=\""),
            std::string::npos);
}
