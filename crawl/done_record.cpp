// The ended-worker record and the saved state of a continued run.
#include "crawl/done_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "base/error.h"
#include "base/files.h"

namespace korvane {

void DoneRecord::Open(const std::string& path, bool fresh, int32_t first_id) {
  Close();
  const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (fresh ? O_TRUNC : 0);
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) throw CannotCreateFile(path, SystemReason(errno));
  fd_.emplace(fd);
  next_id_ = first_id;
}

void DoneRecord::Close() {
  fd_.reset();
  held_back_.clear();
}

void DoneRecord::Ended(int32_t id, const std::string& url) {
  if (!fd_ || id < next_id_) return;
  held_back_[id] = url;
  for (auto it = held_back_.begin(); it != held_back_.end() && it->first == next_id_;
       it = held_back_.erase(it)) {
    const std::string line = it->second + "\r\n";
    // O_APPEND puts the whole line at the end in one step. After a short or failed write
    // (a full disk) the record ends, so its lines keep matching worker numbers; the pages
    // after it are fetched again by a continued run.
    if (::write(fd_->get(), line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
      Close();
      return;
    }
    ++next_id_;
  }
}

std::optional<SavedRun> LoadSavedRun(const std::string& seen_path, const std::string& done_path) {
  if (!FileExists(seen_path)) return std::nullopt;
  SavedRun run;
  run.seen = SplitLines(LoadFile(seen_path));
  if (FileExists(done_path)) {
    const Lines done = SplitLines(LoadFile(done_path));
    run.done.AddAll(done);
    run.done_count = static_cast<int32_t>(std::min<size_t>(done.size(), INT32_MAX));
  }
  return run;
}

}  // namespace korvane
