// A file that several threads append whole lines to, each line by one write() on a descriptor
// opened for appending, so that a kill at any moment leaves only whole lines.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "base/unique_fd.h"

namespace korvane {

class AppendFile {
 public:
  // Opens `path` for appending, created when missing; `fresh` empties it first. Raises
  // CannotCreateFile when it cannot be opened.
  void Open(const std::string& path, bool fresh);
  // Ends the file; later appends are dropped.
  void Close();
  [[nodiscard]] bool IsOpen();

  // Appends `line` (its line break included). When it cannot be written whole (a full disk)
  // the file ends there, so it never holds a line cut short or joined to the next.
  void Append(std::string_view line);

 private:
  std::mutex mutex_;
  std::optional<UniqueFd> fd_;  // guarded by mutex_
};

}  // namespace korvane
