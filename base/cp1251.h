// Code page 1251: the byte encoding of every text the engine stores, and its case folding.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// Bytes of code page 1251 to UTF-8. The one unassigned byte (0x98) becomes "?".
[[nodiscard]] std::string Cp1251ToUtf8(std::string_view bytes);

// Appends the UTF-8 form of the code point `cp` (U+10000 and above as four bytes).
void AppendUtf8(std::string& out, char32_t cp);

// UTF-8 to code page 1251. A character the code page lacks, or a malformed sequence, becomes "?".
[[nodiscard]] std::string Utf8ToCp1251(std::string_view utf8);

// The Unicode code point of one code page 1251 byte; the unassigned byte 0x98 gives 0.
//   Cp1251CodePoint(0xC0) -> U+0410;  Cp1251CodePoint(0x88) -> U+20AC;  Cp1251CodePoint('a') -> 'a'
[[nodiscard]] char32_t Cp1251CodePoint(unsigned char c);

// The code page 1251 byte of a code point, or -1 when the code page lacks it.
//   CodePointToCp1251(U+0451) -> 0xB8;  CodePointToCp1251(U+00E9) -> -1
[[nodiscard]] int CodePointToCp1251(char32_t cp);

// The lower-case form of one code page 1251 byte: Latin A-Z and every Cyrillic capital
// (Ё, Ђ, Ї, ... included) fold to their small letters; all other bytes stay.
[[nodiscard]] unsigned char FoldCase1251(unsigned char c);

// Three-way comparison ignoring letter case as FoldCase1251 defines it; ties are broken by
// nothing else, so "ABC" and "abc" compare equal. Returns <0, 0 or >0.
[[nodiscard]] int CompareNoCase1251(std::string_view a, std::string_view b);

}  // namespace korvane
