// Readable text of a fetched page: header, scripts and mark-up removed, prose lines kept.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The prose lines of `page` (the whole HTTP response, header included), each followed by
// CR LF; "" when no line survives. Steps: the header up to the first CR of the first
// CR LF CR LF goes; "<script" ... "</script>" spans go, then "<" ... ">" spans, always the
// first one again, so a deletion can join a new one (a span without end, or "<script</script>"
// and "<>", stops its loop and the rest stays); the text is split into lines (CR, LF or CR LF,
// nothing after a NUL byte); "&nbsp;", TAB, "&gt;" and "&amp;" become a space, "&quot;" a '"'
// and "&#8217;" a '\''; space runs become one space. A line survives when it then holds more
// than 10 bytes other than spaces and more than 3 spaces.
//   "H: v\r\n\r\n<p>one two th<b>re</b>e four five</p>" -> "one two three four five\r\n"
//   "one&nbsp;&nbsp;two three four five" -> "one two three four five\r\n"
//   "short line" -> ""
// The page is only read: what its tags leave is written to the one buffer returned, and its
// lines are rewritten there.
[[nodiscard]] std::string ExtractPlainText(std::string_view page);

}  // namespace korvane
