// The page's main text: its own prose without menus, headers, footers and other frame.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// How the page's bytes map to characters: code page 1251 for a page recoded to it, ISO-8859-1
// otherwise, so that every byte maps to one character and back and a page in any other
// encoding comes out as its own bytes.
enum class PageBytes { kLatin1, kCp1251 };

// The main text of `page` (the whole HTTP response; its head is not part of the document):
// one line per block, each followed by CR LF; "" when nothing is left.
[[nodiscard]] std::string ExtractMainText(std::string_view page, PageBytes charset);

}  // namespace korvane
