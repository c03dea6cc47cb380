// The message bytes the SMTP client sends, and their base64 parts.
#include "reporter/delivery/MimeMessage.h"

#include <gtest/gtest.h>

#include "reporter/delivery/Base64.h"

TEST(Base64, LinesOfEightyCharactersEachWithItsLineEnd) {
  EXPECT_EQ(EncodeBase64Lines(""), "");
  EXPECT_EQ(EncodeBase64Lines("abc"), "YWJj\r\n");
  EXPECT_EQ(EncodeBase64Lines("ab"), "YWI=\r\n");
  EXPECT_EQ(EncodeBase64Lines("a"), "YQ==\r\n");
  EXPECT_EQ(EncodeBase64Lines(std::string("\xFF\xFE\x00", 3)), "//4A\r\n");

  const std::string sixty(60, 'x');
  EXPECT_EQ(EncodeBase64Lines(sixty).size(), 82u);
  const std::string encoded = EncodeBase64Lines(std::string(61, 'x'));
  ASSERT_EQ(encoded.size(), 80u + 2 + 4 + 2);
  EXPECT_EQ(encoded.substr(80, 2), "\r\n");
  EXPECT_EQ(encoded.substr(82), "eA==\r\n");
}

TEST(MimeMessage, BodyWithoutAttachments) {
  EXPECT_EQ(ComposeMimeBody("Report follows.", {}, "windows-1251"),
            "This is a multi-part message in MIME format\r\n\r\n"
            "--=_xcjvnxkbhvfkxzhfdbvzldjhfv\r\n"
            "Content-Type: text/plain; charset=windows-1251\r\n"
            "Content-Transfer-Encoding: 8bit\r\n\r\n"
            "Report follows.\r\n"
            "--=_xcjvnxkbhvfkxzhfdbvzldjhfv--\r\n");
}

TEST(MimeMessage, WholeMessageWithAttachments) {
  const std::string body = ComposeMimeBody(
      "Hi", {{"Screenshot.png", "abc"}, {"Player.vlf", std::string(61, 'x')}}, "windows-1252");
  TMimeHeaders headers{"Mon, 7 Dec 2026 03:04:33 +0300", "from@a.test", "to@b.test", "Crash"};
  EXPECT_EQ(ComposeMimeMessage(headers, body),
            "Date: Mon, 7 Dec 2026 03:04:33 +0300\r\n"
            "From: <from@a.test>\r\n"
            "Subject: Crash\r\n"
            "To: <to@b.test>\r\n"
            "Content-Type: multipart/mixed; boundary=\"=_xcjvnxkbhvfkxzhfdbvzldjhfv\";\r\n"
            "MIME-Version: 1.0\r\n"
            "X-Priority: 1\r\n"
            "X-Library: VexlorLog 4.5.8\r\n\r\n"
            "This is a multi-part message in MIME format\r\n\r\n"
            "--=_xcjvnxkbhvfkxzhfdbvzldjhfv\r\n"
            "Content-Type: text/plain; charset=windows-1252\r\n"
            "Content-Transfer-Encoding: 8bit\r\n\r\n"
            "Hi\r\n"
            "\r\n--=_xcjvnxkbhvfkxzhfdbvzldjhfv\r\n"
            "Content-Type: image/png;\r\n"
            "        name=\"Screenshot.png\"\r\n"
            "Content-Transfer-Encoding: base64\r\n"
            "Content-Disposition: attachment;\r\n"
            "        filename=\"Screenshot.png\"\r\n\r\n"
            "YWJj\r\n"
            "\r\n--=_xcjvnxkbhvfkxzhfdbvzldjhfv\r\n"
            "Content-Type: application/octet-stream;\r\n"
            "        name=\"Player.vlf\"\r\n"
            "Content-Transfer-Encoding: base64\r\n"
            "Content-Disposition: attachment;\r\n"
            "        filename=\"Player.vlf\"\r\n\r\n" +
                EncodeBase64Lines(std::string(61, 'x')) + "--=_xcjvnxkbhvfkxzhfdbvzldjhfv--\r\n");
}

TEST(MimeMessage, ContentTypeAndCharsetNames) {
  EXPECT_EQ(MimeContentType("Screenshot.PnG"), "image/png");
  EXPECT_EQ(MimeContentType("report.log"), "application/octet-stream");
  EXPECT_EQ(MimeContentType("dir.png\\file"), "application/octet-stream");
  EXPECT_EQ(CharsetOfCodePage(1251), "windows-1251");
  EXPECT_EQ(CharsetOfCodePage(932), "shift_jis");
  EXPECT_EQ(CharsetOfCodePage(65001), "utf-8");
}

TEST(MimeMessage, DataDoublesLeadingDotsAndEndsWithOne) {
  EXPECT_EQ(SmtpMessageData("a\r\n.\r\n..b\r\n"), "a\r\n..\r\n...b\r\n.");
  EXPECT_EQ(SmtpMessageData(".x\r\n"), "..x\r\n.");
  // A bare line feed starts a line as well; a text without a final line end
  // gets one before the final dot.
  EXPECT_EQ(SmtpMessageData("a\n.b"), "a\n..b\r\n.");
  EXPECT_EQ(SmtpMessageData("a.b\r\n"), "a.b\r\n.");
}
