// Page text from the character set it is written in to code page 1251, before its text is
// judged and stored.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The character set of the body of `answer`, in lower case: the one its byte order mark names,
// else the declared one (DeclaredCharset), else the one uchardet detects in the body; "" when
// none gives one.
[[nodiscard]] std::string PageCharset(std::string_view answer);

// `body` converted from `charset` to code page 1251: a character the code page lacks, or a
// byte that is not valid in `charset`, becomes "?". A body in code page 1251 or ASCII, or in
// a character set iconv does not know, is returned unchanged.
//   RecodeText("\xD0\xAF \xE2\x82\xAC", "utf-8") -> "\xDF \x88" (Я €);  "\xE2\x98\x83" -> "?"
[[nodiscard]] std::string RecodeText(std::string_view body, const std::string& charset);

// `answer` with its body recoded from PageCharset(answer); the status line and header fields
// stay as they arrived.
[[nodiscard]] std::string RecodePage(std::string_view answer);
// The same in the answer's own buffer.
void RecodePageInPlace(std::string& answer);

// `body` converted from `charset` to UTF-8, its byte order mark left out: a byte that is not
// valid in `charset` becomes "?". A character set that is empty or that iconv does not know
// is read as UTF-8 where the bytes are valid UTF-8, else as code page 1252.
//   BodyToUtf8("caf\xE9", "windows-1252") -> "caf\xC3\xA9";  ("\xEF\xBB\xBFok", "utf-8") -> "ok"
[[nodiscard]] std::string BodyToUtf8(std::string_view body, const std::string& charset);

// `answer` with its body converted from PageCharset(answer) to UTF-8; the head stays.
void ConvertPageToUtf8InPlace(std::string& answer);

// True when `text` is valid UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
[[nodiscard]] bool IsValidUtf8(std::string_view text);

}  // namespace korvane
