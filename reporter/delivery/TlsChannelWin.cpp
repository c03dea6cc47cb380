// The Schannel channel: credentials, the handshake loop, encrypting and
// decrypting records, the close notify, and the certificate's chain and policy.
#include "reporter/delivery/TlsChannelWin.h"

#include <schannel.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "reporter/delivery/ClientSocketWin.h"
#include "reporter/delivery/SystemErrorTextWin.h"

namespace {

constexpr ULONG kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

std::string StatusText(SECURITY_STATUS status) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
  return SystemErrorText(static_cast<unsigned long>(status)) + " (" + code + ")";
}

[[noreturn]] void Fail(const std::string& what, SECURITY_STATUS status) {
  throw Exception(what + ": " + StatusText(status));
}

// A token the security package allocated, freed whatever happens.
struct TOutToken {
  SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc desc{SECBUFFER_VERSION, 1, &buffer};
  ~TOutToken() {
    if (buffer.pvBuffer) FreeContextBuffer(buffer.pvBuffer);
  }
};

std::string PolicyReason(DWORD error, const std::string& serverName) {
  switch (error) {
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
      return "its root certificate is not trusted";
    case static_cast<DWORD>(CERT_E_CHAINING):
      return "its issuer is unknown";
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
      return "it is made out for another name than \"" + serverName + "\"";
    case static_cast<DWORD>(CERT_E_EXPIRED):
      return "it has expired or is not valid yet";
    case static_cast<DWORD>(CERT_E_REVOKED):
      return "it has been revoked";
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
      return "it is not meant for a server";
    default:
      return "the SSL policy rejects it (" + StatusText(static_cast<SECURITY_STATUS>(error)) + ")";
  }
}

std::string ChainReason(DWORD status) {
  if (status & CERT_TRUST_IS_PARTIAL_CHAIN) return "its issuer is unknown";
  if (status & CERT_TRUST_IS_UNTRUSTED_ROOT) return "its root certificate is not trusted";
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) return "it has expired or is not valid yet";
  if (status & CERT_TRUST_IS_REVOKED) return "it has been revoked";
  if (status & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return "its signature is not valid";
  if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return "it is not meant for a server";
  char text[64];
  std::snprintf(text, sizeof text, "its chain has the error status 0x%08lX",
                static_cast<unsigned long>(status));
  return text;
}

}  // namespace

TVexlorTlsChannel::TVexlorTlsChannel(SOCKET socket, const std::string& serverName,
                                     std::uint32_t timeout, std::string& extra)
    : socket_(socket), serverName_(serverName), timeout_(timeout) {
  SCHANNEL_CRED cred{};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  // The certificate is checked by CheckCertificate, against the name the
  // caller meant, not by the package.
  cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  TimeStamp expiry;
  SECURITY_STATUS status =
      AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND,
                                nullptr, &cred, nullptr, nullptr, &credentials_, &expiry);
  if (status != SEC_E_OK) Fail("Cannot use TLS", status);
  haveCredentials_ = true;
  try {
    std::string input;
    Handshake(input, true);
    extra = std::move(input);
    status = QueryContextAttributesA(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
    if (status != SEC_E_OK) Fail("TLS handshake failed", status);
  } catch (...) {
    if (haveContext_) DeleteSecurityContext(&context_);
    FreeCredentialsHandle(&credentials_);
    throw;
  }
}

TVexlorTlsChannel::~TVexlorTlsChannel() {
  if (haveContext_) DeleteSecurityContext(&context_);
  if (haveCredentials_) FreeCredentialsHandle(&credentials_);
}

void TVexlorTlsChannel::SendRaw(const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const int sent = send(socket_, bytes, static_cast<int>(size), 0);
    if (sent == SOCKET_ERROR)
      throw Exception("TLS handshake failed: " + SystemErrorText(WSAGetLastError()));
    bytes += sent;
    size -= static_cast<std::size_t>(sent);
  }
}

void TVexlorTlsChannel::ReceiveRaw(std::string& into) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket_, &readable);
  timeval wait{static_cast<long>(timeout_ / 1000), static_cast<long>((timeout_ % 1000) * 1000)};
  const int ready = select(0, &readable, nullptr, nullptr, &wait);
  if (ready == 0) throw Exception("TLS handshake failed: the server did not answer.");
  if (ready == SOCKET_ERROR)
    throw Exception("TLS handshake failed: " + SystemErrorText(WSAGetLastError()));
  char buffer[16384];
  const int got = recv(socket_, buffer, sizeof buffer, 0);
  if (got == 0) throw Exception("TLS handshake failed: the server closed the connection.");
  if (got == SOCKET_ERROR)
    throw Exception("TLS handshake failed: " + SystemErrorText(WSAGetLastError()));
  into.append(buffer, static_cast<std::size_t>(got));
}

// The handshake loop. `input` holds what the server sent and the package
// has not consumed yet; on return, what followed the handshake.
void TVexlorTlsChannel::Handshake(std::string& input, bool firstCall) {
  SEC_CHAR* target = const_cast<SEC_CHAR*>(serverName_.c_str());
  ULONG attributes = 0;
  TimeStamp expiry;
  bool needInput = false;
  for (;;) {
    if (needInput) ReceiveRaw(input);
    needInput = false;
    SecBuffer in[2] = {
        {static_cast<ULONG>(input.size()), SECBUFFER_TOKEN, input.data()},
        {0, SECBUFFER_EMPTY, nullptr},
    };
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
    TOutToken out;
    const bool first = firstCall && !haveContext_;
    SECURITY_STATUS status = InitializeSecurityContextA(
        &credentials_, first ? nullptr : &context_, target, kContextFlags, 0, 0,
        first ? nullptr : &inDesc, 0, first ? &context_ : nullptr, &out.desc, &attributes, &expiry);
    if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) haveContext_ = true;
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      needInput = true;
      continue;
    }
    if (out.buffer.pvBuffer && out.buffer.cbBuffer > 0)
      SendRaw(out.buffer.pvBuffer, out.buffer.cbBuffer);
    if (FAILED(status)) Fail("TLS handshake failed", status);
    if (!first) {
      // What the package left unread stays for the next round (or after).
      if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0)
        input.erase(0, input.size() - in[1].cbBuffer);
      else
        input.clear();
    }
    if (status == SEC_E_OK) return;
    if (status == SEC_I_INCOMPLETE_CREDENTIALS) continue;  // no client certificate: go on
    if (status != SEC_I_CONTINUE_NEEDED) Fail("TLS handshake failed", status);
    needInput = input.empty();
  }
}

std::string TVexlorTlsChannel::Encrypt(std::string_view plain) {
  std::string out;
  std::vector<char> record(sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer);
  while (!plain.empty()) {
    const std::size_t piece = std::min<std::size_t>(plain.size(), sizes_.cbMaximumMessage);
    std::copy(plain.begin(), plain.begin() + piece, record.begin() + sizes_.cbHeader);
    SecBuffer buffers[4] = {
        {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
        {static_cast<ULONG>(piece), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
        {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + piece},
        {0, SECBUFFER_EMPTY, nullptr},
    };
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = EncryptMessage(&context_, 0, &desc, 0);
    if (status != SEC_E_OK) Fail("Cannot encrypt", status);
    out.append(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
    plain.remove_prefix(piece);
  }
  return out;
}

bool TVexlorTlsChannel::Decrypt(std::string& raw, std::string& plain) {
  while (!raw.empty()) {
    SecBuffer buffers[4] = {
        {static_cast<ULONG>(raw.size()), SECBUFFER_DATA, raw.data()},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
    };
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return true;
    if (status == SEC_I_CONTEXT_EXPIRED) {
      raw.clear();
      return false;
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) Fail("Cannot decrypt", status);
    std::string rest;
    for (const SecBuffer& buffer : buffers) {
      if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0)
        plain.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
      else if (buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer > 0)
        rest.assign(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
    }
    raw = std::move(rest);
    // The server speaks of the session itself (new tickets, a new key): the
    // package takes its message through the handshake call.
    if (status == SEC_I_RENEGOTIATE) Handshake(raw, false);
  }
  return true;
}

std::string TVexlorTlsChannel::CloseNotify() {
  DWORD type = SCHANNEL_SHUTDOWN;
  SecBuffer in{sizeof type, SECBUFFER_TOKEN, &type};
  SecBufferDesc inDesc{SECBUFFER_VERSION, 1, &in};
  if (ApplyControlToken(&context_, &inDesc) != SEC_E_OK) return {};
  TOutToken out;
  ULONG attributes = 0;
  TimeStamp expiry;
  const SECURITY_STATUS status = InitializeSecurityContextA(
      &credentials_, &context_, const_cast<SEC_CHAR*>(serverName_.c_str()), kContextFlags, 0, 0,
      nullptr, 0, nullptr, &out.desc, &attributes, &expiry);
  if (FAILED(status) || !out.buffer.pvBuffer) return {};
  return std::string(static_cast<const char*>(out.buffer.pvBuffer), out.buffer.cbBuffer);
}

TCertificateCheck TVexlorTlsChannel::CheckCertificate(const std::string& serverName) {
  TCertificateCheck result;
  PCCERT_CONTEXT certificate = nullptr;
  SECURITY_STATUS status =
      QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
  if (status != SEC_E_OK || !certificate) {
    result.Reason = "the server sent no certificate";
    return result;
  }
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara,
                               0, nullptr, &chain)) {
    result.Reason = "its chain cannot be built (" + SystemErrorText(GetLastError()) + ")";
    CertFreeCertificateContext(certificate);
    return result;
  }
  std::wstring wideName(serverName.begin(), serverName.end());
  HTTPSPolicyCallbackData https{};
  https.cbStruct = sizeof https;
  https.dwAuthType = AUTHTYPE_SERVER;
  https.pwszServerName = wideName.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &https;
  CERT_CHAIN_POLICY_STATUS policyStatus{};
  policyStatus.cbSize = sizeof policyStatus;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &policyStatus))
    result.Reason = "the SSL policy cannot be checked (" + SystemErrorText(GetLastError()) + ")";
  else if (policyStatus.dwError != 0)
    result.Reason = PolicyReason(policyStatus.dwError, serverName);
  else if (chain->TrustStatus.dwErrorStatus != CERT_TRUST_NO_ERROR)
    result.Reason = ChainReason(chain->TrustStatus.dwErrorStatus);
  else
    result.Trusted = true;
  CertFreeCertificateChain(chain);
  CertFreeCertificateContext(certificate);
  return result;
}
