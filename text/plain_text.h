// Readable text of a fetched page: header, scripts and mark-up removed, prose lines kept.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The prose lines of `page` (the whole HTTP response, header included), each followed by
// CR LF; "" when no line survives. A line survives when it holds more than 10 non-space bytes
// and more than 3 spaces after the header, "<script" spans and tags are removed, a few
// entities replaced and space runs collapsed. A NUL byte ends the text.
[[nodiscard]] std::string ExtractPlainText(std::string_view page);

}  // namespace korvane
