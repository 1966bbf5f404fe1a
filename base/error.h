// The one error type of the engine: it carries the exact text that the front ends show.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace korvane {

// An operation failed in a way the user is told about. `what()` is the finished message text
// (code page 1251 bytes), e.g. `Cannot open file "UA.txt". No such file or directory`. A file
// name in it keeps the file system's bytes, which are not code page 1251 text: Parts() marks
// where it stands, so a front end converts the name as a name and the rest as text.
class KorvaneError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // what() is before + path + after.
  KorvaneError(std::string_view before, std::string_view path, std::string_view after);

  struct Parts {
    std::string_view before;  // code page 1251
    std::string_view path;    // the file system's bytes; empty for an error naming no file
    std::string_view after;   // code page 1251
  };
  [[nodiscard]] Parts Split() const;

 private:
  size_t path_begin_ = std::string_view::npos;
  size_t path_size_ = 0;
};

// `Cannot open file "<path>". <reason>`
[[nodiscard]] KorvaneError CannotOpenFile(std::string_view path, std::string_view reason);
// `Cannot create file "<path>". <reason>`
[[nodiscard]] KorvaneError CannotCreateFile(std::string_view path, std::string_view reason);
// `Cannot load library "<soname>". <reason>`
[[nodiscard]] KorvaneError CannotLoadLibrary(std::string_view soname, std::string_view reason);
// `'<text>' is not a valid integer value`
[[nodiscard]] KorvaneError NotAnInteger(std::string_view text);
// `I/O error <code>`, with the system's error number: the folder tools' input/output failures.
[[nodiscard]] KorvaneError IoError(int code);
// `List index out of bounds (<index>)`
[[nodiscard]] KorvaneError IndexOutOfBounds(long long index);

}  // namespace korvane
