// The delivery's decisions: mail content, handlers around the send, retry,
// and the SMTP round over the recipients.
#include "reporter/delivery/DeliveryFlow.h"

#include <gtest/gtest.h>

#include <memory>

#include "reporter/config/CustomizedTexts.h"

#include "runtime/Exceptions.h"

namespace {

std::unique_ptr<TVexlorModuleOptions> Options(bool appendLog, bool attachScreenshot) {
  auto made = std::make_unique<TVexlorModuleOptions>("", false);
  TVexlorModuleOptions& options = *made;
  options.SetEmailAddresses("a@x.test");
  options.SetEmailSubject("Crash");
  options.SetEmailMessage("Hello");
  options.SetAppendLogToMessage(appendLog);
  options.SetAttachScreenshot(attachScreenshot);
  return made;
}

}  // namespace

TEST(DeliveryFlow, MailContentFollowsTheOptionsAndTheUsersChoice) {
  TMailContent mail = ComposeMailContent(*Options(false, true), "REPORT", "r.vlf", "s.png", true);
  EXPECT_EQ(mail.Body, "Hello");
  EXPECT_EQ(mail.Attachments, (std::vector<std::string>{"r.vlf", "s.png"}));
  mail = ComposeMailContent(*Options(true, true), "REPORT", "", "s.png", false);
  EXPECT_EQ(mail.Body, "Hello\r\n\r\n\r\nREPORT");
  EXPECT_TRUE(mail.Attachments.empty());
  mail = ComposeMailContent(*Options(false, false), "REPORT", "r.vlf", "s.png", true);
  EXPECT_EQ(mail.Attachments, std::vector<std::string>{"r.vlf"});
  EXPECT_EQ(mail.Recipients, "a@x.test");
  EXPECT_EQ(mail.Subject, "Crash");
}

TEST(DeliveryFlow, HandlersVetoAndRetry) {
  std::vector<std::string> calls;
  int failures = 2;
  TSendReportSteps steps;
  steps.NotifySending = [&](bool& execute) { calls.push_back(execute ? "4:on" : "4:off"); };
  steps.Send = [&] {
    calls.push_back("send");
    return failures-- <= 0;
  };
  steps.NotifyFailed = [&](bool& retry) {
    calls.push_back("error5");
    retry = true;
  };
  steps.NotifySent = [&](bool sent) { calls.push_back(sent ? "5:sent" : "5:not sent"); };
  EXPECT_TRUE(RunSendReport(steps));
  EXPECT_EQ(calls, (std::vector<std::string>{"4:on", "send", "error5", "send", "error5", "send",
                                             "5:sent"}));

  calls.clear();
  steps.NotifySending = [&](bool& execute) { execute = false; };
  EXPECT_FALSE(RunSendReport(steps));
  EXPECT_EQ(calls, std::vector<std::string>{"5:not sent"});

  calls.clear();
  failures = 5;
  steps.NotifySending = nullptr;
  steps.NotifyFailed = [&](bool&) { calls.push_back("error5"); };
  EXPECT_FALSE(RunSendReport(steps));
  EXPECT_EQ(calls, (std::vector<std::string>{"send", "error5", "5:not sent"}));
}

TEST(DeliveryFlow, SmtpRoundSkipsAnUnresolvedRecipient) {
  std::vector<std::string> calls;
  TSmtpRoundSteps steps;
  steps.StartRecipient = [&](int current, int count) {
    calls.push_back(std::to_string(current) + "/" + std::to_string(count));
  };
  steps.Status = [&](const std::string& text) { calls.push_back(text); };
  steps.ResolveMX = [&](const std::string& recipient) -> std::string {
    if (recipient == "x@nowhere.test") throw Exception("Cannot resolve");
    return "mx." + recipient.substr(recipient.find('@') + 1);
  };
  steps.Unresolved = [&](const std::string& recipient) {
    calls.push_back("unresolved " + recipient);
  };
  steps.Send = [&](const std::string& host, const std::string& recipient) {
    calls.push_back("send " + recipient + " via " + host);
    return recipient != "c@two.test";
  };
  EXPECT_TRUE(RunSmtpRound("x@nowhere.test; b@one.test, c@two.test", true, "",
                           "Resolving MX record...", steps));
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "1/3", "Resolving MX record...", "unresolved x@nowhere.test", "2/3",
                       "Resolving MX record...", "send b@one.test via mx.one.test", "3/3",
                       "Resolving MX record...", "send c@two.test via mx.two.test"}));

  calls.clear();
  EXPECT_FALSE(RunSmtpRound("c@two.test", false, "smtp.test", "Resolving MX record...", steps));
  EXPECT_EQ(calls, (std::vector<std::string>{"1/1", "send c@two.test via smtp.test"}));
  EXPECT_EQ(RecipientStatusText("Message", 1, 2, "Connecting with SMTP server..."),
            "Message 1/2: Connecting with SMTP server...");
  // The options' customized texts name the steps.
  auto options = Options(false, false);
  options->SetText(static_cast<std::uint8_t>(TCustomizedText::SendMessage), "Nachricht");
  EXPECT_EQ(SendTextsOf(*options).Message, "Nachricht");
  EXPECT_EQ(SendTextsOf(*options).Sending, "Sending message...");
  EXPECT_EQ(SendTextsOf(*options).Caption, "SMTP.");
}
