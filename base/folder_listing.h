// The folder listing of the result tools: the ".txt" entries of one folder, in natural order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct FolderEntry {
  std::string name;   // without the folder
  uint64_t size = 0;  // 0 for a directory
  bool is_directory = false;
};

// Every entry of `folder` whose name ends in ".txt", ASCII letter case ignored ("A.TXT" and
// ".txt" too), directories included, in NaturalLess order. A folder that is missing or
// cannot be read gives no entries.
[[nodiscard]] std::vector<FolderEntry> ListTxtEntries(const std::string& folder);

// Orders names as numbered files are expected: runs of digits compare by their value
// (leading zeros first breaking ties), every other byte by its value; equal names by bytes.
//   "2.txt" < "10.txt";  "a9" < "a10b";  "007" < "7"  (same value, more digits first);  "B" < "a"
[[nodiscard]] bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace korvane
