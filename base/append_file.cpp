// Appending whole lines to a file.
#include "base/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/error.h"
#include "base/files.h"

namespace korvane {

void AppendFile::Open(const std::string& path, bool fresh) {
  const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (fresh ? O_TRUNC : 0);
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) throw CannotCreateFile(path, SystemReason(errno));
  std::lock_guard lock(mutex_);
  fd_.emplace(fd);
}

void AppendFile::Close() {
  std::lock_guard lock(mutex_);
  fd_.reset();
}

bool AppendFile::IsOpen() {
  std::lock_guard lock(mutex_);
  return fd_.has_value();
}

void AppendFile::Append(std::string_view line) {
  std::lock_guard lock(mutex_);
  if (!fd_) return;
  // A short or failed write is not retried, so the file never holds a line twice or a line
  // joined to the next.
  if (::write(fd_->get(), line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
    fd_.reset();
  }
}

}  // namespace korvane
