// What korvane-cli tells about a run: the start address it cannot use as written, and the
// closing summary. UTF-8 texts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "report/run_stats.h"

namespace korvane {

// One line naming what of the start address (code page 1251) the run will not use, or
// nothing when it uses all of it. Without `https_ports` every request is http on port 80.
//   ("https://h/", off) -> "... is no http address: its host is read as \"https:\" ..."
//   ("http://h:8080/", off) -> "... names port 8080, which only --https reads ..."
//   ("http://h", either) -> "... has no \"/\" after its host ..."
[[nodiscard]] std::optional<std::string> StartAddressNote(std::string_view site, bool https_ports);

// The closing summary, one line each (each ending in "\n"): pages, speed and outcomes; the
// failures by reason; the HTTP status classes. When no page was fetched it says so and why;
// for a `continued` run that dispatched nothing, that the last run is complete.
[[nodiscard]] std::string RunSummary(const RunStats& run, double seconds, bool continued);

}  // namespace korvane
