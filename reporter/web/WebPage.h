// The web forms of a report: the HTML page that carries it and the header of
// the HTTP response that sends it. Portable.
#pragma once

#include <cstddef>
#include <string>

// The text for an HTML page: the characters HTML gives a meaning (& < > ")
// become entities, then every CRLF becomes "<br>" and every space "&nbsp;",
// so the report keeps its lines and columns and no exception message can
// put markup into the page.
std::string ToHtmlText(const std::string& text);

// The whole page, one line: the caption as its title and the intro text and
// the report (or message) in a monospaced paragraph.
std::string WebReportPage(const std::string& caption, const std::string& introText,
                          const std::string& text);

// The response header for a page of pageLength bytes, ending with the empty
// line. A CGI or Win-CGI program sends the status line itself; an ISAPI
// extension hands the status to the server separately.
std::string WebResponseHeader(bool withStatusLine, std::size_t pageLength);

// The status a report's response carries ("200 Error").
constexpr const char* kWebReportStatus = "200 Error";
