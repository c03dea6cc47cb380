// The DNS servers the system knows, and the MX query sent over UDP to each in
// turn with a fresh identifier until one answers.
#include "reporter/delivery/MxLookupWin.h"

#include <winsock2.h>
#include <iphlpapi.h>
#include <windows.h>

#include <bcrypt.h>

#include <memory>

#include "reporter/config/Trace.h"
#include "reporter/delivery/ClientSocketWin.h"
#include "reporter/delivery/DnsMessage.h"
#include "reporter/delivery/MailAddresses.h"

namespace {

constexpr std::uint16_t kDnsPort = 53;

struct TLibrary {
  HMODULE handle;
  ~TLibrary() {
    if (handle) FreeLibrary(handle);
  }
};

// A fresh identifier per query, so that a stray or forged datagram is not
// taken for the answer.
std::uint16_t QueryIdentifier() {
  std::uint16_t id = 0;
  if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&id), sizeof id,
                      BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
    id = static_cast<std::uint16_t>(GetTickCount() ^ GetCurrentProcessId());
  }
  return id;
}

void AddServer(std::vector<std::string>& servers, const char* text) {
  std::string server = TrimText(std::string(text, strnlen(text, 16)));
  if (!server.empty() && server != "0.0.0.0") servers.push_back(server);
}

}  // namespace

std::vector<std::string> DnsServers() {
  TraceEnter("DnsServers");
  std::vector<std::string> servers;
  TLibrary library{LoadLibraryA("IPHLPAPI.DLL")};
  using TGetNetworkParams = DWORD(WINAPI*)(PFIXED_INFO, PULONG);
  auto get = library.handle ? reinterpret_cast<TGetNetworkParams>(reinterpret_cast<void*>(
                                  GetProcAddress(library.handle, "GetNetworkParams")))
                            : nullptr;
  if (get) {
    ULONG size = 0;
    if (get(nullptr, &size) == ERROR_BUFFER_OVERFLOW && size >= sizeof(FIXED_INFO)) {
      auto buffer = std::make_unique<unsigned char[]>(size);
      auto* info = reinterpret_cast<FIXED_INFO*>(buffer.get());
      if (get(info, &size) == ERROR_SUCCESS) {
        for (const IP_ADDR_STRING* entry = &info->DnsServerList; entry; entry = entry->Next)
          AddServer(servers, entry->IpAddress.String);
      }
    }
  }
  if (servers.empty()) AddServer(servers, kFallbackDnsServer);
  TraceExit("DnsServers", {static_cast<unsigned>(servers.size())});
  return servers;
}

std::string ResolveMX(const std::string& address, std::uint32_t timeout) {
  TraceEnter("ResolveMX", {address});
  const std::string domain = MailDomainOf(address);
  std::string exchange;
  for (const std::string& server : DnsServers()) {
    const std::uint16_t id = QueryIdentifier();
    const std::string query = BuildMxQuery(domain, id);
    if (query.empty()) break;
    TVexlorClientSocket socket(server, kDnsPort, false, timeout);
    socket.Connect();
    if (socket.SendString(query) != static_cast<std::int64_t>(query.size())) continue;
    // One datagram is the whole answer.
    const TMxAnswer answer =
        ParseMxAnswer(socket.ReceiveWithTimeout([](std::string_view) { return true; }), id);
    if (answer.Status == TMxAnswer::TStatus::Exchange) {
      exchange = answer.Exchange;
      break;
    }
    Trace("ResolveMX", {server, answer.Reason});
  }
  if (exchange.empty())
    throw EVexlorSocketError("Cannot resolve the \"" + domain + "\" MX record.");
  TraceExit("ResolveMX", {exchange});
  return exchange;
}
