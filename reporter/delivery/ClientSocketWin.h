// The reporter's TCP/UDP client over Winsock: one IPv4 peer, sends in
// 1024-byte pieces with progress, reads by polling the bytes waiting, and
// keeps a log of the whole conversation that every error it raises carries.
// A stream can be switched to TLS (TlsChannelWin.h) mid-conversation.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/Exceptions.h"

class TVexlorTlsChannel;

class EVexlorSocketError : public Exception {
 public:
  using Exception::Exception;
};

class TVexlorClientSocket;
using TSocketErrorEvent =
    std::function<void(TVexlorClientSocket& sender, int position, const std::string& text)>;
using TSocketProgressEvent =
    std::function<void(TVexlorClientSocket& sender, std::int64_t position, std::int64_t total)>;
// Tells a reader that what arrived so far is a whole reply.
using TReplyComplete = std::function<bool(std::string_view received)>;

// What the server's certificate check found, once TLS is on.
struct TCertificateCheck {
  bool Trusted = false;
  std::string Reason;  // why it is not trusted
};

class TVexlorClientSocket {
 public:
  // Raises "Error into WSAStartup: ..." when Winsock does not start.
  TVexlorClientSocket(std::string host, std::uint16_t port, bool stream, std::uint32_t timeout);
  virtual ~TVexlorClientSocket();
  TVexlorClientSocket(const TVexlorClientSocket&) = delete;
  TVexlorClientSocket& operator=(const TVexlorClientSocket&) = delete;

  virtual void Connect();
  virtual void Disconnect();
  bool Connected() const { return connected_; }

  // One send call: the count sent, -1 when the call would block, 0 when not
  // connected.
  int SendBuffer(const void* data, int length);
  // The whole text in pieces of at most 1024 bytes, each sent whole; returns
  // the bytes sent (the text's length).
  std::int64_t SendString(std::string_view text);
  // size -1: the bytes waiting, nothing read. Otherwise one receive call.
  int ReceiveBuffer(void* buffer, int size);
  // Everything that arrives until the peer is silent for a second, or, with
  // `complete`, until what arrived is a whole reply.
  std::string ReceiveAvailable(const TReplyComplete& complete = nullptr);
  // As ReceiveAvailable, waiting up to Timeout for the first bytes; raises
  // "Socket timeout." when none arrive.
  std::string ReceiveWithTimeout(const TReplyComplete& complete = nullptr);

  // Switches a connected stream to TLS with `serverName` as the name the
  // certificate must carry, and checks the certificate. Raises when the
  // handshake fails.
  TCertificateCheck StartTls(const std::string& serverName);
  bool Encrypted() const { return tls_ != nullptr; }

  std::string Host;
  std::uint16_t Port;
  std::uint32_t Timeout;
  std::string Log;
  TSocketErrorEvent OnError;
  TSocketProgressEvent OnProgress;
  bool Silent = false;

 protected:
  // Adds the log unless the message holds it, tells OnError, raises
  // EVexlorSocketError (EAbort when Silent).
  [[noreturn]] void RaiseError(std::string message);
  // Ends the connection first; the message keeps the conversation.
  [[noreturn]] void DropAndRaise(std::string message);
  // A raw error text for the last Winsock error.
  static std::string LastErrorText();

 private:
  void EndTls();
  // The bytes the socket holds; with `detectClose`, none on a stream whose
  // peer has closed raises.
  int RawBytesWaiting(bool detectClose);
  // Moves what the TLS layer can decrypt from raw_ into plain_.
  void PumpTls();
  void SendAll(std::string_view bytes);

  sockaddr_in address_{};
  int type_;
  bool connected_ = false;
  SOCKET socket_ = INVALID_SOCKET;
  bool started_ = false;
  std::unique_ptr<TVexlorTlsChannel> tls_;
  std::string raw_;    // received, not yet decrypted
  std::string plain_;  // decrypted, not yet read
};
