// Finding a recipient's mail exchanger: the system's DNS servers and the MX
// query sent to each of them in turn.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Asked only when the system names no DNS server.
inline constexpr const char* kFallbackDnsServer = "8.8.8.8";

// The system's DNS servers in its order (without "0.0.0.0"), or the
// fallback server alone when it names none.
std::vector<std::string> DnsServers();

// The exchanger with the lowest preference for the address's domain (the
// text after "@"). Raises EVexlorSocketError "Cannot resolve the "..." MX
// record." when no server names one; a server's socket error ends the
// lookup with that error.
std::string ResolveMX(const std::string& address, std::uint32_t timeout = 30000);
