// File access through POSIX calls, with atomic replacement for every write.
#include "base/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "base/error.h"
#include "base/unique_fd.h"

namespace korvane {

namespace {

// Writes every piece in order, many pieces per system call.
bool WriteAll(int fd, const std::vector<std::string_view>& pieces) {
  constexpr size_t kBatch = 512;
  size_t index = 0;   // the piece holding the first byte not yet written
  size_t offset = 0;  // and that byte's place in it
  std::vector<iovec> batch;
  while (index < pieces.size()) {
    batch.clear();
    for (size_t i = index; i < pieces.size() && batch.size() < kBatch; ++i) {
      const size_t skip = i == index ? offset : 0;
      if (pieces[i].size() > skip) {
        batch.push_back({const_cast<char*>(pieces[i].data()) + skip, pieces[i].size() - skip});
      }
    }
    if (batch.empty()) return true;
    const ssize_t n = ::writev(fd, batch.data(), static_cast<int>(batch.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (size_t left = static_cast<size_t>(n); index < pieces.size();) {
      const size_t rest = pieces[index].size() - offset;
      if (left < rest) {
        offset += left;
        break;
      }
      left -= rest;
      ++index;
      offset = 0;
    }
  }
  return true;
}

std::string TempPathFor(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return dir + "." + name + ".XXXXXX";
}

// Read once before main: umask can only be read by setting it, which must not race with
// other threads creating files.
mode_t ReadCreationMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}
const mode_t kCreationMode = ReadCreationMode();

}  // namespace

std::string SystemReason(int code) {
  char buffer[256];
  return ::strerror_r(code, buffer, sizeof buffer);
}

std::string LoadFile(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw CannotOpenFile(path, SystemReason(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode)) {
    throw CannotOpenFile(path, SystemReason(EISDIR));
  }
  std::string bytes;
  if (st.st_size > 0) bytes.reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw CannotOpenFile(path, SystemReason(errno));
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

void SaveFileAtomic(const std::string& path, std::string_view bytes) {
  SaveFileAtomic(path, std::vector<std::string_view>{bytes});
}

void SaveFileAtomic(const std::string& path, const std::vector<std::string_view>& pieces) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) throw CannotCreateFile(path, SystemReason(EISDIR));
    if ((st.st_mode & 0222) == 0) throw CannotCreateFile(path, SystemReason(EACCES));
  }
  std::string temp = TempPathFor(path);
  UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) throw CannotCreateFile(path, SystemReason(errno));
  const mode_t mode = S_ISREG(st.st_mode) ? (st.st_mode & 07777) : kCreationMode;
  if (::fchmod(fd.get(), mode) != 0 || !WriteAll(fd.get(), pieces)) {
    const int error = errno;
    ::unlink(temp.c_str());
    throw CannotCreateFile(path, SystemReason(error));
  }
  if (::close(fd.release()) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    throw CannotCreateFile(path, SystemReason(error));
  }
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EnsureDirectory(const std::string& path) {
  if (DirectoryExists(path)) return true;
  return ::mkdir(path.c_str(), 0777) == 0 || DirectoryExists(path);
}

bool RemoveFile(const std::string& path) {
  return FileExists(path) && ::unlink(path.c_str()) == 0;
}

}  // namespace korvane
