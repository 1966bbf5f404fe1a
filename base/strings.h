// Byte-string helpers shared by every layer: replacement, deletion and integer reading.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// The index of the first occurrence of `what` in `text` at or after `from`; npos when there
// is none, or `what` is empty. std::string_view::find's result, found 64 bytes at a time by
// the places of the first and the last byte of `what`.
//   FindText("a<b<c", "<c", 0) -> 3;  FindText("abc", "", 0) -> npos
[[nodiscard]] size_t FindText(std::string_view text, std::string_view what, size_t from = 0);

[[nodiscard]] inline bool Contains(std::string_view text, std::string_view what) {
  return !what.empty() && text.find(what) != std::string_view::npos;
}

// Replaces every occurrence of `from`, scanning left to right; inserted text is never rescanned.
//   ReplaceAll("aaa", "aa", "a") -> "aa";  ReplaceAll("ab", "", "x") -> "ab"
[[nodiscard]] std::string ReplaceAll(std::string_view text, std::string_view from,
                                     std::string_view to);

// ReplaceAll in the text's own buffer, for a `to` no longer than `from`.
//   "a<b><b>" with "<b>" -> "" gives "a";  "xaay" with "aa" -> "b" gives "xby"
void ReplaceAllInPlace(std::string& text, std::string_view from, std::string_view to);

// Which end of a text edited in place may move.
enum class TextEnd { kStart, kEither };

// ReplaceAll in text[0, size), for a `to` no longer than `from`, returning where the result
// lies. With TextEnd::kStart it starts at `text`; with kEither the longest stretch between two
// replacements (or before the first, or after the last) stays where it is, and the bytes
// before it and after it move towards it. Nothing is written but the replacements and the
// bytes that move, so a privately mapped file keeps its other pages shared with the file
// cache.
[[nodiscard]] std::string_view ReplaceAllIn(char* text, size_t size, std::string_view from,
                                            std::string_view to, TextEnd moving);

// Replaces the first occurrence of `from` only; the text is unchanged when there is none.
[[nodiscard]] std::string ReplaceFirst(std::string_view text, std::string_view from,
                                       std::string_view to);

// Deletes the first occurrence of `what`. DeleteFirst("a:b:c", ":") -> "ab:c"
[[nodiscard]] std::string DeleteFirst(std::string_view text, std::string_view what);

// Reads a whole decimal number the way the window's number fields do: optional leading
// blanks, an optional sign, then digits and nothing else, within 32 bits.
//   " 12" -> 12;  "-3" -> -3;  "12 " -> nullopt;  "" -> nullopt;  "99999999999" -> nullopt
[[nodiscard]] std::optional<int32_t> ParseInt32(std::string_view text);

// ParseInt32, raising NotAnInteger for a text that is not a whole number.
[[nodiscard]] int32_t StrToInt(std::string_view text);

// ParseInt32 with `fallback` for a text that is not a whole number.
[[nodiscard]] int32_t StrToIntDef(std::string_view text, int32_t fallback);

// The ASCII letter `c` in lower case; every other byte as it is.
[[nodiscard]] inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
// `text` with its ASCII letters in lower case. AsciiLowered("Gzip-Ä") -> "gzip-Ä"
[[nodiscard]] std::string AsciiLowered(std::string_view text);

// `text` without the bytes of `leading` at its front and those of `trailing` at its back.
//   Trim(" a b\t") -> "a b";  Trim("\r a \r", " \t", " \t\r") -> "\r a";  Trim(" ") -> ""
[[nodiscard]] std::string_view Trim(std::string_view text, std::string_view leading = " \t",
                                    std::string_view trailing = " \t");

// Decimal digits only, within 32 unsigned bits.
[[nodiscard]] std::optional<uint32_t> ParseUint32(std::string_view text);

}  // namespace korvane
