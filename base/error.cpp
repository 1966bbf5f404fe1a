// Builders for the fixed error texts.
#include "base/error.h"

namespace korvane {

namespace {
KorvaneError FileError(std::string_view verb, std::string_view path, std::string_view reason) {
  std::string text = "Cannot ";
  text += verb;
  text += " file \"";
  text += path;
  text += "\". ";
  text += reason;
  return KorvaneError(text);
}
}  // namespace

KorvaneError CannotOpenFile(std::string_view path, std::string_view reason) {
  return FileError("open", path, reason);
}

KorvaneError CannotCreateFile(std::string_view path, std::string_view reason) {
  return FileError("create", path, reason);
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
