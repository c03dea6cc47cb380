// The client socket on Winsock: resolving, connecting, sending everything within
// the time-out, polling replies, and TLS switched on and off the open stream.
#include "reporter/delivery/ClientSocketWin.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstdio>

#include "reporter/config/Trace.h"
#include "reporter/delivery/SystemErrorTextWin.h"
#include "reporter/delivery/TlsChannelWin.h"

namespace {

constexpr int kPieceSize = 1024;
constexpr DWORD kSilence = 1000;  // ms without new bytes that end a read
constexpr int kWouldBlock = WSAEWOULDBLOCK;

void ResetAddress(sockaddr_in& address) {
  address = {};
  address.sin_family = AF_INET;
}

// The first IPv4 address of a dotted address or a host name; 0.0.0.0 when
// the name does not resolve (the connect then fails).
in_addr ResolveHost(const std::string& host) {
  in_addr result{};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 && found) {
    result = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
  }
  return result;
}

}  // namespace

TVexlorClientSocket::TVexlorClientSocket(std::string host, std::uint16_t port, bool stream,
                                         std::uint32_t timeout)
    : Host(std::move(host)),
      Port(port),
      Timeout(timeout),
      type_(stream ? SOCK_STREAM : SOCK_DGRAM) {
  ResetAddress(address_);
  WSADATA data;
  if (const int code = WSAStartup(MAKEWORD(1, 1), &data); code != 0)
    RaiseError("Error into WSAStartup: \"" + SystemErrorText(code) + "\"");
  started_ = true;
}

TVexlorClientSocket::~TVexlorClientSocket() {
  // A destructor cannot raise: a failed close or clean-up goes to the trace.
  try {
    if (connected_ || socket_ != INVALID_SOCKET) Disconnect();
  } catch (...) {
    Trace("TVexlorClientSocket", {"close failed"});
  }
  if (started_ && WSACleanup() != 0)
    Trace("Error into WSACleanup: \"" + SystemErrorText(WSAGetLastError()) + "\"");
}

std::string TVexlorClientSocket::LastErrorText() {
  return SystemErrorText(static_cast<unsigned long>(WSAGetLastError()));
}

void TVexlorClientSocket::RaiseError(std::string message) {
  if (message.find(Log) == std::string::npos) message += "\r\nSocket log:\r\n" + Log;
  if (OnError) OnError(*this, -1, message);
  if (Silent) throw EAbort(message);
  throw EVexlorSocketError(message);
}

// The conversation so far stays in the message of a failure that ends it.
void TVexlorClientSocket::DropAndRaise(std::string message) {
  message += "\r\nSocket log:\r\n" + Log;
  Disconnect();
  RaiseError(std::move(message));
}

void TVexlorClientSocket::Connect() {
  if (connected_) return;
  socket_ = socket(AF_INET, type_, 0);
  if (socket_ == INVALID_SOCKET) RaiseError("Invalid socket: \"" + LastErrorText() + "\".");
  address_.sin_family = AF_INET;
  address_.sin_port = htons(Port);
  address_.sin_addr = ResolveHost(Host);
  u_long blocking = 0;
  WSAAsyncSelect(socket_, nullptr, 0, 0);
  ioctlsocket(socket_, FIONBIO, &blocking);
  if (connect(socket_, reinterpret_cast<sockaddr*>(&address_), sizeof address_) == SOCKET_ERROR) {
    const std::string text = LastErrorText();
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
    RaiseError("Connection error: \"" + text + "\"");
  }
  connected_ = socket_ != INVALID_SOCKET;
  const auto* b = reinterpret_cast<const unsigned char*>(&address_.sin_addr);
  char line[64];
  std::snprintf(line, sizeof line, "Connected to %d.%d.%d.%d port %d\r\n", b[0], b[1], b[2], b[3],
                Port);
  Log = line;
}

void TVexlorClientSocket::EndTls() {
  if (!tls_) return;
  try {
    const std::string goodbye = tls_->CloseNotify();
    if (!goodbye.empty()) send(socket_, goodbye.data(), static_cast<int>(goodbye.size()), 0);
  } catch (...) {
  }
  tls_.reset();
  raw_.clear();
  plain_.clear();
}

void TVexlorClientSocket::Disconnect() {
  EndTls();
  const SOCKET handle = socket_;
  socket_ = INVALID_SOCKET;
  ResetAddress(address_);
  connected_ = false;
  Log.clear();
  if (handle != INVALID_SOCKET && closesocket(handle) == SOCKET_ERROR)
    RaiseError("Cannot close the socket: \"" + LastErrorText() + "\"");
}

int TVexlorClientSocket::SendBuffer(const void* data, int length) {
  if (!connected_) return 0;
  const int sent = send(socket_, static_cast<const char*>(data), length, 0);
  if (sent == SOCKET_ERROR) {
    const int code = WSAGetLastError();
    if (code == kWouldBlock) return -1;
    const std::string text = SystemErrorText(code);
    DropAndRaise("Error into \"send\": \"" + text + "\"");
  }
  return sent;
}

// Every byte, however many calls it takes; a call that would block waits
// until the socket takes data again, within Timeout.
void TVexlorClientSocket::SendAll(std::string_view bytes) {
  const DWORD start = GetTickCount();
  while (!bytes.empty()) {
    const int sent = SendBuffer(bytes.data(), static_cast<int>(bytes.size()));
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    if (!connected_) RaiseError("Error into \"send\": \"not connected\"");
    if (GetTickCount() - start >= Timeout) RaiseError("Socket timeout.");
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(socket_, &writable);
    timeval wait{0, 10000};
    select(0, nullptr, &writable, nullptr, &wait);
  }
}

std::int64_t TVexlorClientSocket::SendString(std::string_view text) {
  if (!connected_) return 0;
  const auto total = static_cast<std::int64_t>(text.size());
  std::int64_t done = 0;
  while (done < total) {
    const std::string_view piece =
        text.substr(static_cast<std::size_t>(done), static_cast<std::size_t>(kPieceSize));
    SendAll(tls_ ? std::string_view(tls_->Encrypt(piece)) : piece);
    done += static_cast<std::int64_t>(piece.size());
    if (OnProgress) OnProgress(*this, done + 1, total);
  }
  return done;
}

int TVexlorClientSocket::RawBytesWaiting(bool detectClose) {
  u_long waiting = 0;
  if (ioctlsocket(socket_, FIONREAD, &waiting) == SOCKET_ERROR) {
    const std::string text = LastErrorText();
    DropAndRaise("Error into \"recv\": \"" + text + "\"");
  }
  if (waiting == 0 && detectClose && type_ == SOCK_STREAM) {
    // Readable with nothing to read: the peer has closed its side, and no
    // reply will come however long the reader waits.
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval now{0, 0};
    char probe;
    if (select(0, &readable, nullptr, nullptr, &now) == 1 &&
        recv(socket_, &probe, 1, MSG_PEEK) == 0) {
      DropAndRaise("Error into \"recv\": \"The connection was closed by the peer.\"");
    }
  }
  return static_cast<int>(waiting);
}

void TVexlorClientSocket::PumpTls() {
  for (int waiting = RawBytesWaiting(false); waiting > 0; waiting = RawBytesWaiting(false)) {
    std::string chunk(static_cast<std::size_t>(waiting), '\0');
    const int got = recv(socket_, chunk.data(), waiting, 0);
    if (got == SOCKET_ERROR) {
      const int code = WSAGetLastError();
      if (code == kWouldBlock) break;
      DropAndRaise("Error into \"recv\": \"" + SystemErrorText(code) + "\"");
    }
    if (got <= 0) break;
    raw_.append(chunk.data(), static_cast<std::size_t>(got));
  }
  try {
    tls_->Decrypt(raw_, plain_);
  } catch (const Exception& e) {
    DropAndRaise(e.Message());
  }
  // What the server said before it closed is read first.
  if (plain_.empty()) RawBytesWaiting(true);
}

int TVexlorClientSocket::ReceiveBuffer(void* buffer, int size) {
  if (!connected_) return 0;
  if (tls_) {
    PumpTls();
    if (size < 0) return static_cast<int>(plain_.size());
    const int n = std::min(size, static_cast<int>(plain_.size()));
    plain_.copy(static_cast<char*>(buffer), static_cast<std::size_t>(n));
    plain_.erase(0, static_cast<std::size_t>(n));
    return n;
  }
  if (size < 0) return RawBytesWaiting(true);
  const int got = recv(socket_, static_cast<char*>(buffer), size, 0);
  if (got == SOCKET_ERROR) {
    const int code = WSAGetLastError();
    if (code == kWouldBlock) return -1;
    DropAndRaise("Error into \"recv\": \"" + SystemErrorText(code) + "\"");
  }
  return got;
}

std::string TVexlorClientSocket::ReceiveAvailable(const TReplyComplete& complete) {
  std::string result;
  int waiting = ReceiveBuffer(nullptr, -1);
  while (waiting > 0) {
    std::string chunk(static_cast<std::size_t>(waiting), '\0');
    const int got = ReceiveBuffer(chunk.data(), waiting);
    if (got > 0) {
      chunk.resize(static_cast<std::size_t>(got));
      result += chunk;
      Log += chunk;
    }
    if (complete && complete(result)) break;
    const DWORD readAt = GetTickCount();
    for (waiting = ReceiveBuffer(nullptr, -1); waiting == 0 && GetTickCount() - readAt < kSilence;
         waiting = ReceiveBuffer(nullptr, -1))
      Sleep(1);
  }
  return result;
}

std::string TVexlorClientSocket::ReceiveWithTimeout(const TReplyComplete& complete) {
  const DWORD start = GetTickCount();
  std::string result;
  for (;;) {
    result = ReceiveAvailable(complete);
    if (!result.empty() || GetTickCount() - start >= Timeout) break;
    Sleep(1);
  }
  if (result.empty()) RaiseError("Socket timeout.");
  return result;
}

TCertificateCheck TVexlorClientSocket::StartTls(const std::string& serverName) {
  if (!connected_ || type_ != SOCK_STREAM) RaiseError("TLS needs a connected stream.");
  std::string extra;
  try {
    tls_ = std::make_unique<TVexlorTlsChannel>(socket_, serverName, Timeout, extra);
  } catch (const Exception& e) {
    RaiseError(e.Message());
  }
  raw_ = std::move(extra);
  plain_.clear();
  Log += "[TLS session started]\r\n";
  return tls_->CheckCertificate(serverName);
}
