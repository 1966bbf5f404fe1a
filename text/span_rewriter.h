// The loop "replace every copy of the first span until no span is left", in linear time.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// The kind of span one loop replaces: from an opener through the first closer after it.
struct SpanKind {
  std::string_view opener;
  std::string_view closer;
  std::array<std::string_view, 2> replacements;
  // Which replacement a span calls for, given the span without its closer.
  uint8_t (*classify)(std::string_view body);
};

// Why the loop ended.
enum class SpanLoopEnd {
  kNoOpener,   // the text held no opener any more
  kNoCloser,   // the first opener had no closer after it
  kEmptySpan,  // the first opener's closer followed it at once
};

// The loop, step by step: while the text holds an opener, take the span S from the first
// opener through the first closer after it, and replace every occurrence of S (left to right,
// not overlapping, inserted text not rescanned) by the replacement S calls for. The loop ends
// at an opener that has no closer after it, or that the closer follows at once; the text from
// there on keeps what the earlier passes made of it.
//
// RewriteSpans gives that loop's bytes in one pass, linear in the text's size, provided that
// - opener and closer are not empty and overlap neither each other nor themselves (no
//   placement of one over the other, or over a shifted copy of itself, agrees on every
//   shared byte);
// - no replacement holds or can help form an opener or a closer;
// - every replacement is shorter than opener + closer.
// SpanMarkersAreSeparate checks the first two (a replacement that shares no byte with either
// marker cannot help form one). `out`'s old content goes and its capacity is reused.
//   opener "&#", closer ";", replacement " ": "a&#1;b&#1;c&#2;" -> "a b c "
//   opener "<", closer ">", replacement " ":  "<a<b>>x<>" -> " >x<>" (stops at "<>")
SpanLoopEnd RewriteSpans(const SpanKind& kind, std::string_view text, std::string& out);
// The same in the text's own buffer.
SpanLoopEnd RewriteSpansInPlace(const SpanKind& kind, std::string& text);

// Whether `opener` and `closer` are not empty, overlap neither each other nor themselves, and
// hold no byte of `replacement`: then RewriteSpans may run them with that replacement.
//   ("&", ";", " ") -> true;  ("aa", ";", " ") -> false (overlaps itself);
//   ("ab", "ba", " ") -> false;  ("& ", ";", " ") -> false;  ("", ";", " ") -> false
[[nodiscard]] bool SpanMarkersAreSeparate(std::string_view opener, std::string_view closer,
                                          std::string_view replacement);

}  // namespace korvane
