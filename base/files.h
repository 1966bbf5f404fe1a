// Whole-file load and atomic whole-file save, and the few folder operations the engine needs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// The whole file as bytes. Raises CannotOpenFile (with the system's reason) when it cannot be
// read, also when `path` is a folder.
[[nodiscard]] std::string LoadFile(const std::string& path);

// Replaces `path` with `bytes` so that a crash at any moment leaves either the old file or the
// new one, never a part: the bytes go to a hidden temporary file beside it, which is then
// renamed over `path`. Raises CannotCreateFile when the file cannot be written; a file whose
// write permission bits are all cleared counts as read-only and is refused, even for root.
void SaveFileAtomic(const std::string& path, std::string_view bytes);
// The same for a text given in consecutive pieces, written without joining them first.
void SaveFileAtomic(const std::string& path, const std::vector<std::string_view>& pieces);

[[nodiscard]] bool FileExists(const std::string& path);  // a regular file
[[nodiscard]] bool DirectoryExists(const std::string& path);
// Creates the folder when it is missing; false when it cannot exist (a file stands there).
bool EnsureDirectory(const std::string& path);
// Deletes a regular file; false when there was none or it could not be deleted.
bool RemoveFile(const std::string& path);

// The system's text for errno `code`, e.g. "No such file or directory".
[[nodiscard]] std::string SystemReason(int code);

}  // namespace korvane
