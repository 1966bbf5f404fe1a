// Whole-file load and atomic whole-file save, and the few folder operations the engine needs.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique_fd.h"

namespace korvane {

// The whole file as bytes. Raises CannotOpenFile (with the system's reason) when it cannot be
// read, also when `path` is a folder.
[[nodiscard]] std::string LoadFile(const std::string& path);

// A file's bytes to work on in place without reading them into memory of the process's own:
// a regular file is mapped privately, so its pages stay the file cache's until one is
// written, and only a written page is copied; any other file (a pipe, an empty or special
// file) is read whole with LoadFile. Raises as LoadFile does. The file must not shrink while
// it is mapped.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path);
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  [[nodiscard]] char* data() { return data_; }
  [[nodiscard]] size_t size() const { return size_; }

 private:
  void* mapping_ = nullptr;  // the mapping, when the file is mapped
  std::string read_;         // the bytes, when it is read instead
  char* data_ = nullptr;
  size_t size_ = 0;
};

// Replaces `path` with `bytes` so that a crash at any moment leaves either the old file or the
// new one, never a part: the bytes go to a hidden temporary file beside it, which is then
// renamed over `path`. Raises CannotCreateFile when the file cannot be written; a file whose
// write permission bits are all cleared counts as read-only and is refused, even for root.
void SaveFileAtomic(const std::string& path, std::string_view bytes);
// The same for a text given in consecutive pieces, written without joining them first.
void SaveFileAtomic(const std::string& path, const std::vector<std::string_view>& pieces);
// Raises what SaveFileAtomic raises before it writes anything: CannotCreateFile when a folder
// stands at `path` or the file there is read-only. One stat, no write.
void CheckReplaceable(const std::string& path);

// A file written in pieces that replaces `path` only at Commit(), as SaveFileAtomic does: until
// then the old file stays whole, and a writer dropped without Commit() leaves no trace. Every
// failure raises CannotCreateFile for `path`, except AppendFile's reading.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string path);
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();

  void Write(std::string_view bytes);
  // Appends the whole file at `path`; CannotOpenFile when it cannot be read (also a folder).
  void AppendFile(const std::string& path);
  void Commit();

 private:
  static constexpr size_t kBufferSize = size_t{1} << 20;
  char* Buffer();
  void Flush();
  void WriteOut(std::string_view bytes);

  std::string path_;
  std::string temp_;
  UniqueFd fd_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
};

[[nodiscard]] bool FileExists(const std::string& path);  // a regular file
[[nodiscard]] bool DirectoryExists(const std::string& path);
// Creates the folder when it is missing; false when it cannot exist (a file stands there).
bool EnsureDirectory(const std::string& path);
// Deletes a regular file; false when there was none or it could not be deleted.
bool RemoveFile(const std::string& path);

// Moves the file `from` to `to` with rename(2), which within one file system is atomic and
// copies nothing. Where rename is refused across file systems (EXDEV), copies the bytes,
// syncs the copy to disk and only then deletes `from` (a deletion that fails leaves both).
// Raises CannotOpenFile for a source that is missing or a folder, CannotCreateFile otherwise.
void MoveFile(const std::string& from, const std::string& to);

// `relative` in the process's working folder as a full path: WorkingPath("parse") in /home/u
// gives "/home/u/parse". An empty `relative` gives the folder itself.
[[nodiscard]] std::string WorkingPath(std::string_view relative);

// The system's text for errno `code`, e.g. "No such file or directory".
[[nodiscard]] std::string SystemReason(int code);

}  // namespace korvane
