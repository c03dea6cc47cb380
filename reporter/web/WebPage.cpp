// The report escaped for HTML in its page, and the response header.
#include "reporter/web/WebPage.h"

std::string ToHtmlText(const std::string& text) {
  std::string result;
  result.reserve(text.size() + text.size() / 4);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '&':
        result += "&amp;";
        break;
      case '<':
        result += "&lt;";
        break;
      case '>':
        result += "&gt;";
        break;
      case '"':
        result += "&quot;";
        break;
      case ' ':
        result += "&nbsp;";
        break;
      case '\r':
        if (i + 1 < text.size() && text[i + 1] == '\n') {
          result += "<br>";
          ++i;
        } else {
          result += c;
        }
        break;
      default:
        result += c;
    }
  }
  return result;
}

std::string WebReportPage(const std::string& caption, const std::string& introText,
                          const std::string& text) {
  return "<html><head><title>" + ToHtmlText(caption) + "</title></head><body>" +
         "<p><small><font face=\"Lucida Console,Courier\">" + ToHtmlText(introText + text) +
         "</font></small></p></body></html>";
}

std::string WebResponseHeader(bool withStatusLine, std::size_t pageLength) {
  std::string header;
  if (withStatusLine) header = std::string("Status: ") + kWebReportStatus + "\r\n";
  header += "Content-Type: text/html\r\nContent-Length: " + std::to_string(pageLength) +
            "\r\nContent:\r\n\r\n";
  return header;
}
