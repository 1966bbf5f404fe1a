// The marker primitive every parser of the program rests on, and the marker searches it uses.
#pragma once

#include <cstddef>
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
// Matching is byte-by-byte and case-sensitive; line breaks are ordinary bytes.
//   ExtractBetween("[", "]", "a[bc]d[e]") -> "bc"
//   ExtractBetween("[", "]", "a]b[cd")    -> "cd"
//   ExtractBetween("[", "]", "a[]")       -> "Zero"
//   ExtractBetween("[", "]", "abc")       -> "Error"
[[nodiscard]] std::string ExtractBetween(std::string_view start, std::string_view stop,
                                         std::string_view text);

// ExtractBetween without the copy: a view into `text`, or kError, or kZero.
[[nodiscard]] std::string_view ExtractBetweenView(std::string_view start, std::string_view stop,
                                                  std::string_view text);

// The index of the first occurrence of `marker` in `text` that starts at or after `from`;
// npos when there is none. An empty marker never occurs.
//   FindMarker("a<b<c", "<", 2) -> 3;  FindMarker("abc", "", 0) -> npos
[[nodiscard]] size_t FindMarker(std::string_view text, std::string_view marker, size_t from = 0);

// For a text that is `kept` followed by `rest`, where `kept` holds no whole `marker`: the
// index in `kept` of the first occurrence of `marker` that starts in `kept` and ends in
// `rest`; npos when there is none. This is how a loop that deletes text finds the marker that
// a deletion has just joined together.
//   FindMarkerAcrossJoin("ab<scr", "ipt>", "<script") -> 2
[[nodiscard]] size_t FindMarkerAcrossJoin(std::string_view kept, std::string_view rest,
                                          std::string_view marker);

// The next occurrence of a marker at or after a read position that only moves forward.
class MarkerCursor {
 public:
  MarkerCursor(std::string_view text, std::string_view marker)
      : text_(text), marker_(marker), next_(FindMarker(text, marker)) {}

  [[nodiscard]] size_t NextFrom(size_t pos) {
    if (next_ != std::string_view::npos && next_ < pos) next_ = FindMarker(text_, marker_, pos);
    return next_;
  }

 private:
  std::string_view text_;
  std::string_view marker_;
  size_t next_;
};

}  // namespace korvane
