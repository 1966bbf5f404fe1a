// The from-to cleaning of one file written as its loop reads: the buffer's whole text is
// searched again after every pass. Slow on purpose, for comparison with the fast code.
#pragma once

#include <string>
#include <string_view>

namespace korvane::reference {

[[nodiscard]] std::string CleanFromToText(std::string_view text, std::string_view from,
                                          std::string_view to);

}  // namespace korvane::reference
