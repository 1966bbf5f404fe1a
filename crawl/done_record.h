// The record of the pages a run has finished ("done_urls.txt") and the saved state a
// continued run starts from.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "base/append_file.h"
#include "base/sorted_list.h"
#include "base/text_lines.h"

namespace korvane {

// Appends the address of every finished page to the record file, one line with CR LF each,
// as AppendFile appends lines: a kill at any moment leaves whole lines. Any thread.
class DoneRecord : public AppendFile {
 public:
  // Appends `url`. When a line cannot be written whole (a full disk) the record ends there:
  // a continued run then fetches the later pages again.
  void Append(const std::string& url) { AppendFile::Append(url + "\r\n"); }
};

// What a continued START begins from.
struct SavedRun {
  Lines seen;               // "parsed_urls.txt"
  SortedList done;          // "done_urls.txt" (empty when missing)
  int32_t done_count = 0;   // lines of "done_urls.txt": the first worker number to try
  std::set<int32_t> taken;  // numbers of the result files present: never reused
};

// The saved run in the working folder, or nothing when there is no `seen_path`. `results`
// is the folder of the result files ("<number>.txt"). Raises CannotOpenFile when a file
// exists but cannot be read.
[[nodiscard]] std::optional<SavedRun> LoadSavedRun(const std::string& seen_path,
                                                   const std::string& done_path,
                                                   const std::string& results);

}  // namespace korvane
