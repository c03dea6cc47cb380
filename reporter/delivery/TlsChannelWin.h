// TLS over a connected socket through the system's Schannel (SSPI): the
// client handshake, records in and out, and our own check of the server's
// certificate (chain to a trusted root, the SSL policy with the server's
// name, and any error status of the chain).
#pragma once

#include <winsock2.h>
#define SECURITY_WIN32
#include <security.h>

#include <cstdint>
#include <string>
#include <string_view>

struct TCertificateCheck;

class TVexlorTlsChannel {
 public:
  // Runs the handshake on the blocking socket, waiting at most `timeout` ms
  // for each piece of the server's answer. What the server sent after its
  // last handshake message (often the greeting) is left in `extra`, still
  // encrypted. Raises Exception with the reason when the handshake fails.
  TVexlorTlsChannel(SOCKET socket, const std::string& serverName, std::uint32_t timeout,
                    std::string& extra);
  ~TVexlorTlsChannel();
  TVexlorTlsChannel(const TVexlorTlsChannel&) = delete;
  TVexlorTlsChannel& operator=(const TVexlorTlsChannel&) = delete;

  // The records that carry `plain`, cut at the largest message the session
  // takes.
  std::string Encrypt(std::string_view plain);
  // Decrypts the whole records at the start of `raw` into `plain` and removes
  // them from `raw`. False once the server has closed the session.
  bool Decrypt(std::string& raw, std::string& plain);
  // The server's certificate against the system's trusted roots and the name.
  TCertificateCheck CheckCertificate(const std::string& serverName);
  // The close message to send before the connection ends (may be empty).
  std::string CloseNotify();

 private:
  void Handshake(std::string& input, bool firstCall);
  void SendRaw(const void* data, std::size_t size);
  void ReceiveRaw(std::string& into);

  SOCKET socket_;
  std::string serverName_;
  std::uint32_t timeout_;
  CredHandle credentials_{};
  CtxtHandle context_{};
  bool haveCredentials_ = false;
  bool haveContext_ = false;
  SecPkgContext_StreamSizes sizes_{};
};
