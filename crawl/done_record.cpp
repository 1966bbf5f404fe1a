// The finished-page record and the saved state of a continued run.
#include "crawl/done_record.h"

#include <algorithm>
#include <climits>
#include "base/error.h"
#include "base/files.h"
#include "base/folder_listing.h"
#include "base/strings.h"

namespace korvane {

std::optional<SavedRun> LoadSavedRun(const std::string& seen_path, const std::string& done_path,
                                     const std::string& results) {
  if (!FileExists(seen_path)) return std::nullopt;
  SavedRun run;
  run.seen = SplitLines(LoadFile(seen_path));
  if (FileExists(done_path)) {
    const Lines done = SplitLines(LoadFile(done_path));
    run.done.AddAll(done);
    run.done_count = static_cast<int32_t>(std::min<size_t>(done.size(), INT32_MAX));
  }
  for (const FolderEntry& entry : ListTxtEntries(results)) {
    const std::string& name = entry.name;
    if (entry.is_directory || !name.ends_with(".txt")) continue;
    const std::string stem = name.substr(0, name.size() - 4);
    // Only the names a worker writes: decimal digits without a sign or leading zero.
    if (stem.empty() || (stem.size() > 1 && stem[0] == '0') ||
        !std::all_of(stem.begin(), stem.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    if (const auto number = ParseInt32(stem)) run.taken.insert(*number);
  }
  return run;
}

}  // namespace korvane
