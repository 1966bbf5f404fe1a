// A shared library opened while the program runs, for what only some runs need: a run that
// never needs it does not pay at start for loading it.
#pragma once

#include <string>

namespace korvane {

// Opens the library `soname` ("libssl.so.3") and looks up its functions by name. It is never
// closed: the functions found stay callable until the process ends.
class SharedLibrary {
 public:
  explicit SharedLibrary(const char* soname);
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Stores the library's function `name` in `function`, typed as the header that declares it
  // says (`Bind(api.SSL_new, "SSL_new")` with `decltype(&SSL_new) SSL_new`); null when the
  // library or the function is missing, and Error() then says which.
  template <class Function>
  void Bind(Function*& function, const char* name) {
    function = reinterpret_cast<Function*>(Symbol(name));
  }

  // Empty while the library and every function asked for were found; else the loader's
  // reason for the first that was not, e.g. "libxml2.so.2: cannot open shared object file:
  // No such file or directory".
  [[nodiscard]] const std::string& Error() const { return error_; }

 private:
  void* Symbol(const char* name);

  void* handle_;
  std::string error_;
};

}  // namespace korvane
