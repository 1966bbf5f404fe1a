// Reading answer heads, choosing a page's character set and recoding it to code page 1251.
#include "net/http_answer.h"

#include <gtest/gtest.h>

#include <string>

#include "base/cp1251.h"
#include "net/recode.h"

namespace korvane {
namespace {

TEST(AnswerHead, StatusBodyAndFields) {
  const std::string answer =
      "HTTP/1.1 302 Found\r\nServer: x\r\nlocation:  /next?a=1 \r\nContent-Type: text/html\r\n"
      "\r\n<html>Location: /not-a-field</html>";
  EXPECT_EQ(AnswerStatus(answer), 302);
  EXPECT_EQ(answer.substr(BodyStart(answer)), "<html>Location: /not-a-field</html>");
  EXPECT_EQ(AnswerHeader(answer, "Location"), "/next?a=1");
  EXPECT_EQ(AnswerHeader(answer, "Set-Cookie"), std::nullopt);
  EXPECT_EQ(AnswerHeader("HTTP/1.0 200 OK\nA: b\n\nC: d", "c"), std::nullopt);
  EXPECT_EQ(AnswerHeader("HTTP/1.0 200 OK\nA: b\n\nC: d", "a"), "b");
  EXPECT_EQ(AnswerStatus("<html>HTTP/1.0 301 x"), std::nullopt);
  EXPECT_EQ(AnswerStatus("HTTP/1.0 3x1 x"), std::nullopt);
  EXPECT_EQ(BodyStart("<html>no head"), 0u);
  EXPECT_EQ(BodyStart("HTTP/1.0 200 OK\r\nA: b"), 21u);  // a head without its end
}

TEST(AnswerHead, OnlyRedirectStatusesWithALocationRedirect) {
  for (int status : {300, 301, 302, 303, 304, 305, 307, 308, 200, 404}) {
    const std::string answer =
        "HTTP/1.0 " + std::to_string(status) + " X\r\nLocation: /there\r\n\r\nbody";
    const bool redirect =
        status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    EXPECT_EQ(RedirectLocation(answer),
              redirect ? std::optional<std::string>("/there") : std::nullopt)
        << status;
  }
  EXPECT_EQ(RedirectLocation("HTTP/1.0 301 X\r\nLocation: \r\n\r\n"), std::nullopt);
  EXPECT_EQ(RedirectLocation("HTTP/1.0 301 X\r\n\r\n"), std::nullopt);
}

TEST(Charset, HeaderThenMetaThenDetection) {
  struct Case {
    std::string answer;
    const char* charset;
  };
  const std::string russian_utf8 = "Съешь же ещё этих мягких французских булок, да выпей чаю.";
  const Case cases[] = {
      {"HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=KOI8-R\r\n\r\n<meta charset=utf-8>",
       "koi8-r"},
      {"HTTP/1.0 200 OK\r\nContent-Type: text/html; Charset = \"UTF-8\"\r\n\r\n", "utf-8"},
      {"HTTP/1.0 200 OK\r\n\r\n<head><META CHARSET='Windows-1251'>", "windows-1251"},
      {"HTTP/1.0 200 OK\r\n\r\n<meta http-equiv=\"Content-Type\" "
       "content=\"text/html; charset=iso-8859-5\">",
       "iso-8859-5"},
      // A charset outside a <meta> tag, or beyond the first 4 KB, declares nothing.
      {"HTTP/1.0 200 OK\r\n\r\n<p>charset=koi8-r</p>" + russian_utf8, "utf-8"},
      {"HTTP/1.0 200 OK\r\n\r\n" + std::string(4096, ' ') + "<meta charset=koi8-r>" + russian_utf8,
       "utf-8"},
      {"HTTP/1.0 200 OK\r\n\r\n" + Utf8ToCp1251(russian_utf8), "windows-1251"},
      {"HTTP/1.0 200 OK\r\n\r\nplain ascii text", "ascii"},
  };
  for (const Case& c : cases) EXPECT_EQ(PageCharset(c.answer), c.charset) << c.answer;
}

TEST(Recode, BodiesBecomeCodePage1251WithQuestionMarksForTheRest) {
  struct Case {
    std::string body;
    const char* charset;
    std::string cp1251;
  };
  const Case cases[] = {
      {"\xD0\xAF \xE2\x82\xAC \xE2\x98\x83", "utf-8", "\xDF \x88 ?"},  // Я € ☃
      {"\xF1\xC1\xD2", "KOI8-R", "\xDF\xE0\xF0"},                      // Яар
      {"\xDF\xE0 \x98", "windows-1251", "\xDF\xE0 \x98"},              // unchanged
      {"a\xFF"
       "b",
       "utf-8", "a?b"},                             // not UTF-8
      {"ab\xD0", "utf-8", "ab?"},                   // cut short
      {"\xDF\xE0", "no-such-charset", "\xDF\xE0"},  // unknown: as it came
      {"", "utf-8", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(RecodeText(c.body, c.charset), c.cp1251) << c.charset;
}

TEST(Recode, OnlyTheBodyOfAPageChanges) {
  const std::string head =
      "HTTP/1.0 200 OK\r\nX-Name: \xD0\xAF\r\nContent-Type: text/html; "
      "charset=utf-8\r\n\r\n";
  EXPECT_EQ(RecodePage(head + "<p>\xD0\xAF</p>"), head + "<p>\xDF</p>");
}

}  // namespace
}  // namespace korvane
