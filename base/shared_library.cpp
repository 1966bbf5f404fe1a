// Shared libraries opened with dlopen.
#include "base/shared_library.h"

#include <dlfcn.h>

namespace korvane {

SharedLibrary::SharedLibrary(const char* soname)
    : handle_(::dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
  if (handle_ == nullptr) error_ = ::dlerror();
}

void* SharedLibrary::Symbol(const char* name) {
  if (handle_ == nullptr) return nullptr;
  void* symbol = ::dlsym(handle_, name);
  if (symbol == nullptr && error_.empty()) {
    const char* reason = ::dlerror();
    error_ = reason != nullptr ? reason : std::string(name) + ": not found";
  }
  return symbol;
}

}  // namespace korvane
