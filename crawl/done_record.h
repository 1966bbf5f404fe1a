// The record of a run's ended workers ("done_urls.txt") and the saved state a continued run
// starts from.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "base/sorted_list.h"
#include "base/text_lines.h"
#include "base/unique_fd.h"

namespace korvane {

// With the continue option, appends the address of every ended worker to the record file, one line
// with CR LF each, written by one write() so that a kill leaves whole lines. Lines go out in
// worker-number order: a worker that ends before one with a lower number waits here until that one
// has ended too. So line i of the file always belongs to worker i, and a continued run that numbers
// its workers from the line count never reuses the number of a recorded page; the pages held back
// at a kill are fetched again, like those in flight. Main thread only.
class DoneRecord {
 public:
  // Opens `path` for appending, created when missing; `fresh` empties it first. Workers of
  // this run are numbered from `first_id`. Raises CannotCreateFile when it cannot be opened.
  void Open(const std::string& path, bool fresh, int32_t first_id);
  // Ends the record of this run; lines still held back are dropped.
  void Close();
  [[nodiscard]] bool IsOpen() const { return fd_.has_value(); }

  // Worker `id` has ended. When a line cannot be written the record ends there: it only
  // means that a continued run fetches the later pages again.
  void Ended(int32_t id, const std::string& url);

 private:
  std::optional<UniqueFd> fd_;
  int32_t next_id_ = 0;                       // the lowest number not yet written
  std::map<int32_t, std::string> held_back_;  // ended workers above next_id_
};

// What a continued START begins from.
struct SavedRun {
  Lines seen;              // "parsed_urls.txt"
  SortedList done;         // "done_urls.txt" (empty when missing)
  int32_t done_count = 0;  // lines of "done_urls.txt": the first worker number
};

// The saved run in the working folder, or nothing when there is no "parsed_urls.txt".
// Raises CannotOpenFile when a file exists but cannot be read.
[[nodiscard]] std::optional<SavedRun> LoadSavedRun(const std::string& seen_path,
                                                   const std::string& done_path);

}  // namespace korvane
