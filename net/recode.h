// Page text from the character set it is written in to code page 1251, before its text is
// judged and stored.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The character set of the body of `answer`: the declared one (DeclaredCharset), else the one
// uchardet detects in the body, in lower case; "" when neither gives one.
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

}  // namespace korvane
