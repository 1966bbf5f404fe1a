// Reading the head of a received answer: status, header fields, body, redirect target and
// declared character set. Pure functions over the bytes as they arrived.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// The status code of an answer that begins "HTTP/", its version, a space and three digits;
// nothing for any other text. The one reading of a status line.
//   "HTTP/1.1 301 Moved\r\n..." -> 301;  "HTTP/2 404" -> 404;  "<html>" -> nullopt
[[nodiscard]] std::optional<int> AnswerStatus(std::string_view answer);

// Where the head of `answer` ends: the offset just after its first empty line (CR LF CR LF or
// LF LF), npos when the head has not ended yet.
[[nodiscard]] size_t HeadEnd(std::string_view answer);

// Where the body of an answer begins: after the first empty line (CR LF CR LF, or LF LF)
// of an answer with a status line; 0 for a text without one, its length when the head has
// no end.
[[nodiscard]] size_t BodyStart(std::string_view answer);

// The value of the first header field `name` (letter case ignored), without the blanks around
// it; nothing when the head has no such field.
//   AnswerHeader("HTTP/1.0 200 OK\r\nContent-Type:  text/html \r\n\r\n", "content-type")
//     -> "text/html"
[[nodiscard]] std::optional<std::string> AnswerHeader(std::string_view answer,
                                                      std::string_view name);

// The Location of a 301, 302, 303, 307 or 308 answer; nothing for other answers or an empty
// Location.
[[nodiscard]] std::optional<std::string> RedirectLocation(std::string_view answer);

// The character set an answer declares, in lower case: the charset parameter of its
// Content-Type field, else the charset of a <meta> tag in the first 4 KB of its body; ""
// when it declares none.
//   "...Content-Type: text/html; charset=KOI8-R\r\n\r\n" -> "koi8-r"
//   body "<meta charset=\"utf-8\">" -> "utf-8"
//   body "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">"
//     -> "windows-1251"
[[nodiscard]] std::string DeclaredCharset(std::string_view answer);

}  // namespace korvane
