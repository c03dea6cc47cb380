// The MX query's bytes and the reading of answers, well-formed and hostile.
#include "reporter/delivery/DnsMessage.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

// The answer header for our query 0x4141 with one question and n answers.
std::string Header(int answers, int flags = 0x8180) {
  return "\x41\x41"s + static_cast<char>(flags >> 8) + static_cast<char>(flags & 0xFF) +
         "\x00\x01\x00"s + static_cast<char>(answers) + "\x00\x00\x00\x00"s;
}

const std::string kQuestion =
    "\x07"
    "example\x04test\x00\x00\x0F\x00\x01"s;

std::string Mx(int preference, const std::string& exchange) {
  const std::string data = "\x00"s + static_cast<char>(preference) + exchange;
  return "\xC0\x0C\x00\x0F\x00\x01\x00\x00\x0E\x10\x00"s + static_cast<char>(data.size()) + data;
}

}  // namespace

TEST(DnsMessage, QueryBytes) {
  EXPECT_EQ(BuildMxQuery("example.test.", 0x4141),
            "\x41\x41\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00"s + kQuestion);
  EXPECT_EQ(BuildMxQuery("example.test", 0x4141), BuildMxQuery("example.test.", 0x4141));
  EXPECT_EQ(BuildMxQuery("a..b", 1), "");
  EXPECT_EQ(BuildMxQuery("", 1), "");
  EXPECT_EQ(BuildMxQuery(std::string(64, 'a') + ".test", 1), "");
  EXPECT_EQ(MailDomainOf("user@mail.example.test"), "mail.example.test");
  EXPECT_EQ(MailDomainOf("example.test"), "example.test");
}

TEST(DnsMessage, ExchangeNamedThroughAPointerIntoTheQuestion) {
  // "mx1" followed by a pointer to "example.test" at offset 12.
  const TMxAnswer answer =
      ParseMxAnswer(Header(1) + kQuestion + Mx(10, "\x03mx1\xC0\x0C"s), 0x4141);
  ASSERT_EQ(answer.Status, TMxAnswer::TStatus::Exchange);
  EXPECT_EQ(answer.Exchange, "mx1.example.test");
}

TEST(DnsMessage, LowestPreferenceWinsAndOtherTypesAreSkipped) {
  const std::string cname = "\xC0\x0C\x00\x05\x00\x01\x00\x00\x00\x01\x00\x02\xC0\x0C"s;
  const TMxAnswer answer = ParseMxAnswer(Header(4) + kQuestion + cname + Mx(20, "\x02mx\xC0\x0C"s) +
                                             Mx(5,
                                                "\x04"
                                                "best\xC0\x0C"s) +
                                             Mx(5, "\x01z\x00"s),
                                         0x4141);
  ASSERT_EQ(answer.Status, TMxAnswer::TStatus::Exchange);
  EXPECT_EQ(answer.Exchange, "best.example.test");
}

TEST(DnsMessage, AnswersWithoutAnExchanger) {
  using S = TMxAnswer::TStatus;
  EXPECT_EQ(ParseMxAnswer(Header(0) + kQuestion, 0x4141).Status, S::NoExchange);
  EXPECT_EQ(ParseMxAnswer(Header(0, 0x8183) + kQuestion, 0x4141).Status, S::NoExchange);
  // The null MX: the domain takes no mail.
  EXPECT_EQ(ParseMxAnswer(Header(1) + kQuestion + Mx(0, "\x00"s), 0x4141).Status, S::NoExchange);
}

TEST(DnsMessage, HostileAnswersAreRejected) {
  using S = TMxAnswer::TStatus;
  const std::string good = Header(1) + kQuestion + Mx(10, "\x03mx1\xC0\x0C"s);
  EXPECT_EQ(ParseMxAnswer(good, 0x4242).Status, S::Invalid);  // another query's
  EXPECT_EQ(ParseMxAnswer(Header(1, 0x0180) + kQuestion, 0x4141).Status, S::Invalid);  // a query
  EXPECT_EQ(ParseMxAnswer(good.substr(0, 11), 0x4141).Status, S::Invalid);
  for (std::size_t cut = 12; cut < good.size(); ++cut)
    EXPECT_NE(ParseMxAnswer(good.substr(0, cut), 0x4141).Status, S::Exchange) << cut;
  // A pointer to itself, and one past the end.
  EXPECT_EQ(ParseMxAnswer(Header(1) + kQuestion + Mx(1, "\xC0\x2C"s), 0x4141).Status,
            S::NoExchange);
  EXPECT_EQ(ParseMxAnswer(Header(1) + kQuestion + Mx(1, "\xFF\xFF"s), 0x4141).Status,
            S::NoExchange);
  // An exchange whose labels run past its record's data.
  std::string overlong = Header(1) + kQuestion + Mx(1, "\x03mx1\x00"s);
  overlong[overlong.size() - 8] = 3;  // data length cut below the name's
  EXPECT_NE(ParseMxAnswer(overlong, 0x4141).Status, S::Exchange);
  // An answer count larger than the records present.
  EXPECT_EQ(ParseMxAnswer(Header(9) + kQuestion + Mx(10, "\x03mx1\xC0\x0C"s), 0x4141).Exchange,
            "mx1.example.test");
}

TEST(DnsMessage, NameDecoderFollowsOnlyAFewPointers) {
  // A chain of pointers, each to the one before it, ending in a name.
  std::string message =
      "\x01"
      "a\x00"s;
  for (int i = 0; i < kMaxNamePointers + 2; ++i) {
    const std::size_t previous = i == 0 ? 0 : message.size() - 2;
    message += static_cast<char>(0xC0);
    message += static_cast<char>(previous);
  }
  std::string name;
  std::size_t offset = message.size() - 2;
  EXPECT_FALSE(DecodeDnsName(message, offset, name));
  offset = 3 + 2 * (kMaxNamePointers - 1);
  ASSERT_TRUE(DecodeDnsName(message, offset, name));
  EXPECT_EQ(name, "a");
  EXPECT_EQ(offset, 3u + 2 * kMaxNamePointers);
}
