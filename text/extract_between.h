// The marker primitive every parser of the program rests on.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The two fixed results of ExtractBetween; callers compare with them and search for them.
inline constexpr std::string_view kError = "Error";
inline constexpr std::string_view kZero = "Zero";

// The text after the first `start` up to the first `stop` after it.
// - "Error" when `start` or `stop` does not occur anywhere in `text` (an empty marker never
//   occurs);
// - when `stop` occurs only before (or overlapping) the first `start`, the whole tail after
//   the first `start`;
// - "Zero" when the result would be empty.
//   ExtractBetween("[", "]", "a[bc]d[e]") -> "bc"
//   ExtractBetween("[", "]", "a]b[cd")    -> "cd"
//   ExtractBetween("[", "]", "a[]")       -> "Zero"
//   ExtractBetween("[", "]", "abc")       -> "Error"
[[nodiscard]] std::string ExtractBetween(std::string_view start, std::string_view stop,
                                         std::string_view text);

}  // namespace korvane
