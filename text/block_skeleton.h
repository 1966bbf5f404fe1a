// The block skeleton that the template window's "add new block" appends to its memo.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The memo text `memo_text` with one more line: a template block numbered by the memo's
// current line count n (an empty last line does not count), "[blockname]Name" n
// "[/blockname][start]Start" n "[/start][stop]Stop" n "[/stop]". Every line ends in CR LF.
//   ""            -> "[blockname]Name0[/blockname][start]Start0[/start][stop]Stop0[/stop]\r\n"
//   "a\r\n\r\nb"  -> "a\r\n\r\nb\r\n[blockname]Name3[/blockname]...[stop]Stop3[/stop]\r\n"
[[nodiscard]] std::string AddBlockSkeleton(std::string_view memo_text);

}  // namespace korvane
