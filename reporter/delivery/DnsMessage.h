// The DNS query for a domain's mail exchangers and the reading of the answer.
// The answer comes from the network: every offset is checked against its
// size, and a name may follow only a few compression pointers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The text after the first "@" of an address; the whole address without one.
std::string MailDomainOf(std::string_view address);

// One UDP datagram asking (recursively) for the MX records of `domain`. A
// trailing "." adds no label. Empty when the domain cannot be a DNS name (an
// empty label, a label over 63 bytes, a name over 255 bytes).
std::string BuildMxQuery(std::string_view domain, std::uint16_t identifier);

struct TMxAnswer {
  enum class TStatus {
    Exchange,    // Exchange holds the mail exchanger with the lowest preference
    NoExchange,  // a well-formed answer without a usable MX record
    Invalid,     // not an answer to our query, or malformed
  };
  TStatus Status = TStatus::Invalid;
  std::string Exchange;
  std::string Reason;  // why there is no exchanger, for the trace
};

TMxAnswer ParseMxAnswer(std::string_view datagram, std::uint16_t identifier);

// A name at `offset` of the message, following compression pointers (at most
// kMaxNamePointers). On success `offset` is just past the name where it
// started (past the first pointer). False for a name that leaves the message.
inline constexpr int kMaxNamePointers = 16;
bool DecodeDnsName(std::string_view message, std::size_t& offset, std::string& name);
