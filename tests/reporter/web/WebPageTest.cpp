// The HTML escaping, the report page and the response header.
#include "reporter/web/WebPage.h"

#include <gtest/gtest.h>

namespace {

TEST(ToHtmlText, EscapesMarkupBeforeKeepingLinesAndColumns) {
  EXPECT_EQ(ToHtmlText("a  b\r\nc"), "a&nbsp;&nbsp;b<br>c");
  EXPECT_EQ(ToHtmlText("<script>alert(\"x&y\")</script>"),
            "&lt;script&gt;alert(&quot;x&amp;y&quot;)&lt;/script&gt;");
  // An entity in the text stays text; a lone CR or LF is not a line break.
  EXPECT_EQ(ToHtmlText("&nbsp;\r\r\n\n"), "&amp;nbsp;\r<br>\n");
  EXPECT_EQ(ToHtmlText(""), "");
}

TEST(WebReportPage, OneLineWithTitleAndMonospacedReport) {
  EXPECT_EQ(WebReportPage("Error.", "Failed.\r\n\r\n", "2.5 <b>"),
            "<html><head><title>Error.</title></head><body><p><small>"
            "<font face=\"Lucida Console,Courier\">Failed.<br><br>2.5&nbsp;&lt;b&gt;"
            "</font></small></p></body></html>");
}

TEST(WebResponseHeader, StatusForCgiOnlyAndThePageLength) {
  EXPECT_EQ(WebResponseHeader(true, 1234),
            "Status: 200 Error\r\nContent-Type: text/html\r\nContent-Length: 1234\r\n"
            "Content:\r\n\r\n");
  EXPECT_EQ(WebResponseHeader(false, 0),
            "Content-Type: text/html\r\nContent-Length: 0\r\nContent:\r\n\r\n");
}

}  // namespace
