#include "base/large_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace korvane {

void AskLargePages(char* data, size_t size) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
  const auto at = reinterpret_cast<uintptr_t>(data);
  const uintptr_t begin = (at + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t end = (at + size) & ~(kLargePage - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

}  // namespace korvane
