// Composing the MIME body and message: content types from file names, charsets
// from code pages, and the SMTP data, dot-stuffed and ended by the lone dot.
#include "reporter/delivery/MimeMessage.h"

#include <cctype>

#include "reporter/delivery/Base64.h"

namespace {

constexpr std::string_view kLibraryVersion = "4.5.8";

}  // namespace

std::string MimeContentType(std::string_view fileName) {
  const std::size_t dot = fileName.find_last_of(".\\/:");
  if (dot != std::string_view::npos && fileName[dot] == '.') {
    std::string ext(fileName.substr(dot));
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext == ".PNG") return "image/png";
  }
  return "application/octet-stream";
}

std::string CharsetOfCodePage(unsigned codePage) {
  switch (codePage) {
    case 874:
      return "windows-874";
    case 932:
      return "shift_jis";
    case 936:
      return "gbk";
    case 949:
      return "ks_c_5601-1987";
    case 950:
      return "big5";
    case 20866:
      return "koi8-r";
    case 28591:
      return "iso-8859-1";
    case 65001:
      return "utf-8";
    default:
      return "windows-" + std::to_string(codePage);
  }
}

std::string ComposeMimeBody(std::string_view bodyText,
                            const std::vector<TMimeAttachment>& attachments,
                            std::string_view charset) {
  std::string out = "This is a multi-part message in MIME format\r\n\r\n--";
  out += kMimeBoundary;
  out += "\r\nContent-Type: text/plain; charset=";
  out += charset;
  out += "\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
  out += bodyText;
  out += "\r\n";
  for (const TMimeAttachment& file : attachments) {
    out += "\r\n--";
    out += kMimeBoundary;
    out += "\r\nContent-Type: " + MimeContentType(file.FileName) + ";\r\n";
    out += "        name=\"" + file.FileName + "\"\r\n";
    out += "Content-Transfer-Encoding: base64\r\n";
    out += "Content-Disposition: attachment;\r\n";
    out += "        filename=\"" + file.FileName + "\"\r\n\r\n";
    out += EncodeBase64Lines(file.Content);
  }
  out += "--";
  out += kMimeBoundary;
  out += "--\r\n";
  return out;
}

std::string ComposeMimeMessage(const TMimeHeaders& headers, std::string_view composedBody) {
  std::string out;
  out.reserve(composedBody.size() + 512);
  out += "Date: " + headers.Date + "\r\n";
  out += "From: <" + headers.Sender + ">\r\n";
  out += "Subject: " + headers.Subject + "\r\n";
  out += "To: <" + headers.Recipient + ">\r\n";
  out += "Content-Type: multipart/mixed; boundary=\"";
  out += kMimeBoundary;
  out += "\";\r\nMIME-Version: 1.0\r\n";
  out += "X-Priority: 1\r\n";
  out += "X-Library: VexlorLog ";
  out += kLibraryVersion;
  out += "\r\n\r\n";
  out += composedBody;
  return out;
}

std::string SmtpMessageData(std::string_view message) {
  std::string out;
  out.reserve(message.size() + message.size() / 64 + 4);
  bool lineStart = true;
  for (char c : message) {
    if (lineStart && c == '.') out += '.';
    out += c;
    // A bare LF ends a line for many servers as well.
    lineStart = c == '\n';
  }
  if (!out.empty() && !lineStart) out += "\r\n";
  out += '.';
  return out;
}
