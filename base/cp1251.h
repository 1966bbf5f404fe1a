// Code page 1251: the byte encoding of every text the engine stores, and its case folding.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// Bytes of code page 1251 to UTF-8. The one unassigned byte (0x98) becomes "?".
[[nodiscard]] std::string Cp1251ToUtf8(std::string_view bytes);

// UTF-8 to code page 1251. A character the code page lacks, or a malformed sequence, becomes "?".
[[nodiscard]] std::string Utf8ToCp1251(std::string_view utf8);

// The lower-case form of one code page 1251 byte: Latin A-Z and every Cyrillic capital
// (Ё, Ђ, Ї, ... included) fold to their small letters; all other bytes stay.
[[nodiscard]] unsigned char FoldCase1251(unsigned char c);

// Three-way comparison ignoring letter case as FoldCase1251 defines it; ties are broken by
// nothing else, so "ABC" and "abc" compare equal. Returns <0, 0 or >0.
[[nodiscard]] int CompareNoCase1251(std::string_view a, std::string_view b);

}  // namespace korvane
