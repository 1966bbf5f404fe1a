// Builders for the fixed error texts.
#include "base/error.h"

namespace korvane {

namespace {
KorvaneError FileError(std::string_view verb, std::string_view path, std::string_view reason) {
  return KorvaneError("Cannot " + std::string(verb) + " file \"", path,
                      "\". " + std::string(reason));
}
}  // namespace

KorvaneError::KorvaneError(std::string_view before, std::string_view path, std::string_view after)
    : std::runtime_error(std::string(before).append(path).append(after)),
      path_begin_(before.size()),
      path_size_(path.size()) {}

KorvaneError::Parts KorvaneError::Split() const {
  const std::string_view text = what();
  if (path_begin_ == std::string_view::npos) return {text, {}, {}};
  return {text.substr(0, path_begin_), text.substr(path_begin_, path_size_),
          text.substr(path_begin_ + path_size_)};
}

KorvaneError CannotOpenFile(std::string_view path, std::string_view reason) {
  return FileError("open", path, reason);
}

KorvaneError CannotCreateFile(std::string_view path, std::string_view reason) {
  return FileError("create", path, reason);
}

KorvaneError CannotLoadLibrary(std::string_view soname, std::string_view reason) {
  return KorvaneError("Cannot load library \"", soname, "\". " + std::string(reason));
}

KorvaneError NotAnInteger(std::string_view text) {
  return KorvaneError("'" + std::string(text) + "' is not a valid integer value");
}

KorvaneError IoError(int code) {
  return KorvaneError("I/O error " + std::to_string(code));
}

KorvaneError IndexOutOfBounds(long long index) {
  return KorvaneError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace korvane
