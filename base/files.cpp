// File access through POSIX calls, with atomic replacement for every write.
#include "base/files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "base/error.h"
#include "base/large_pages.h"
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

// What stands at `path` (all zero when nothing does); raises when it cannot be replaced.
struct stat StatReplaceable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) throw CannotCreateFile(path, SystemReason(EISDIR));
    if ((st.st_mode & 0222) == 0) throw CannotCreateFile(path, SystemReason(EACCES));
  } else {
    st = {};
  }
  return st;
}

}  // namespace

std::string WorkingPath(std::string_view relative) {
  std::error_code error;
  // A working folder that was removed under the process still resolves relative names.
  std::filesystem::path path = std::filesystem::current_path(error);
  if (error) path = ".";
  if (!relative.empty()) path /= relative;
  return path.string();
}

std::string SystemReason(int code) {
  char buffer[256];
  return ::strerror_r(code, buffer, sizeof buffer);
}

namespace {

// A large page buffer is touched, and its pages faulted in, by every pass over it. Pages of
// 2 MB make that a few faults instead of thousands; the 4 KB pages at its two ends, outside
// the 2 MB ones, are faulted in with one call rather than one fault each. Only hints: the
// kernel may decline either.
void PrepareLargeBuffer(char* data, size_t size) {
  AskLargePages(data, size);
#ifdef MADV_POPULATE_WRITE
  const auto at = reinterpret_cast<uintptr_t>(data);
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = (at + page - 1) & ~(page - 1);
  const auto last = (at + size) & ~(page - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#endif
}

// Appends to `bytes` the up to `room` bytes that `fill(at, room)` writes at `at` and counts,
// in a buffer prepared as a large one.
template <class Fill>
void AppendFilled(std::string& bytes, size_t room, Fill fill) {
  const size_t used = bytes.size();
  bytes.reserve(used + room);
  PrepareLargeBuffer(bytes.data() + used, room);
  bytes.resize(used + room);
  bytes.resize(used + fill(bytes.data() + used, room));
}

}  // namespace

std::string LoadFile(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw CannotOpenFile(path, SystemReason(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode)) {
    throw CannotOpenFile(path, SystemReason(EISDIR));
  }
  // Read straight into the string: a regular file in one read of its size, and one more that
  // finds its end; a file that grows, or reports no size, in ever larger reads.
  std::string bytes;
  size_t room = st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 65536;
  int error = 0;
  bool at_end = false;
  while (!at_end && error == 0) {
    AppendFilled(bytes, room, [&](char* at, size_t size) {
      size_t got = 0;
      while (got < size) {
        const ssize_t n = ::read(fd.get(), at + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
          error = n < 0 ? errno : 0;
          at_end = true;
          break;
        }
        got += static_cast<size_t>(n);
      }
      return got;
    });
    room = bytes.size();
  }
  if (error != 0) throw CannotOpenFile(path, SystemReason(error));
  return bytes;
}

MappedFile::MappedFile(const std::string& path) {
  {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() >= 0 && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      size_ = static_cast<size_t>(st.st_size);
      // Mapped for reading with every page in place, then made writable: a page is copied
      // at its first write only, where a writable mapping filled at once would copy them all.
      void* mapping = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
      if (mapping != MAP_FAILED && ::mprotect(mapping, size_, PROT_READ | PROT_WRITE) == 0) {
        mapping_ = mapping;
        data_ = static_cast<char*>(mapping);
        return;
      }
      if (mapping != MAP_FAILED) ::munmap(mapping, size_);
    }
  }
  read_ = LoadFile(path);
  data_ = read_.data();
  size_ = read_.size();
}

MappedFile::~MappedFile() {
  if (mapping_ != nullptr) ::munmap(mapping_, size_);
}

void SaveFileAtomic(const std::string& path, std::string_view bytes) {
  SaveFileAtomic(path, std::vector<std::string_view>{bytes});
}

namespace {

// Removes the temporary file `temp` that was to replace `path`; raises CannotCreateFile.
[[noreturn]] void DiscardReplacement(const std::string& path, const std::string& temp, int error) {
  ::unlink(temp.c_str());
  throw CannotCreateFile(path, SystemReason(error));
}

// The temporary file that will replace `path`, created with the mode the file will have.
// Refuses a folder and a file whose write permission bits are all cleared (read-only).
UniqueFd OpenReplacement(const std::string& path, std::string& temp) {
  const struct stat st = StatReplaceable(path);
  temp = TempPathFor(path);
  UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (fd.get() < 0) throw CannotCreateFile(path, SystemReason(errno));
  const mode_t mode = S_ISREG(st.st_mode) ? (st.st_mode & 07777) : kCreationMode;
  if (::fchmod(fd.get(), mode) != 0) DiscardReplacement(path, temp, errno);
  return fd;
}

// Closes the replacement and renames it over `path`.
void CommitReplacement(const std::string& path, const std::string& temp, UniqueFd& fd) {
  if (::close(fd.release()) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
    DiscardReplacement(path, temp, errno);
  }
}

}  // namespace

void CheckReplaceable(const std::string& path) {
  [[maybe_unused]] const struct stat st = StatReplaceable(path);
}

void SaveFileAtomic(const std::string& path, const std::vector<std::string_view>& pieces) {
  std::string temp;
  UniqueFd fd = OpenReplacement(path, temp);
  if (!WriteAll(fd.get(), pieces)) DiscardReplacement(path, temp, errno);
  CommitReplacement(path, temp, fd);
}

AtomicFileWriter::AtomicFileWriter(std::string path)
    : path_(std::move(path)), fd_(OpenReplacement(path_, temp_)) {}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_.valid()) ::unlink(temp_.c_str());
}

void AtomicFileWriter::Write(std::string_view bytes) {
  if (used_ + bytes.size() > kBufferSize) Flush();
  if (bytes.size() >= kBufferSize) {
    WriteOut(bytes);
    return;
  }
  std::memcpy(Buffer() + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
}

void AtomicFileWriter::AppendFile(const std::string& path) {
  UniqueFd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) throw CannotOpenFile(path, SystemReason(errno));
  struct stat st {};
  if (::fstat(in.get(), &st) == 0 && S_ISDIR(st.st_mode)) {
    throw CannotOpenFile(path, SystemReason(EISDIR));
  }
  // Reads straight into the free end of the buffer, so a small file costs no extra copy.
  for (;;) {
    if (used_ == kBufferSize) Flush();
    const ssize_t n = ::read(in.get(), Buffer() + used_, kBufferSize - used_);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw CannotOpenFile(path, SystemReason(errno));
    }
    if (n == 0) return;
    used_ += static_cast<size_t>(n);
  }
}

void AtomicFileWriter::Commit() {
  Flush();
  CommitReplacement(path_, temp_, fd_);
}

char* AtomicFileWriter::Buffer() {
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
  return buffer_.get();
}

void AtomicFileWriter::Flush() {
  if (used_ == 0) return;
  WriteOut(std::string_view(buffer_.get(), used_));
  used_ = 0;
}

void AtomicFileWriter::WriteOut(std::string_view bytes) {
  if (!WriteAll(fd_.get(), {bytes})) {
    const int error = errno;
    fd_ = UniqueFd(-1);
    DiscardReplacement(path_, temp_, error);
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

void MoveFile(const std::string& from, const std::string& to) {
  if (DirectoryExists(from)) throw CannotOpenFile(from, SystemReason(EISDIR));
  if (::rename(from.c_str(), to.c_str()) == 0) return;
  if (errno != EXDEV) {
    const int error = errno;
    if (error == ENOENT && !FileExists(from)) throw CannotOpenFile(from, SystemReason(error));
    throw CannotCreateFile(to, SystemReason(error));
  }
  // Another file system: the copy is whole on disk before the original goes.
  UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) throw CannotOpenFile(from, SystemReason(errno));
  UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kCreationMode));
  if (out.get() < 0) throw CannotCreateFile(to, SystemReason(errno));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw CannotOpenFile(from, SystemReason(errno));
    if (n == 0) break;
    if (!WriteAll(out.get(), {std::string_view(buffer, static_cast<size_t>(n))})) {
      throw CannotCreateFile(to, SystemReason(errno));
    }
  }
  if (::fsync(out.get()) != 0 || ::close(out.release()) != 0) {
    throw CannotCreateFile(to, SystemReason(errno));
  }
  ::unlink(from.c_str());  // a source that cannot be deleted stays beside its copy
}

}  // namespace korvane
