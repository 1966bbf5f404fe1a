// Memory hints for buffers of many megabytes.
#pragma once

#include <cstddef>

namespace korvane {

// Asks for pages of 2 MB in the part of data[0, size) that whole ones cover: a large buffer
// is then faulted in by a few faults instead of one per 4 KB page. Only a hint: the kernel
// may decline it, and a buffer too small for a whole large page is left alone.
void AskLargePages(char* data, size_t size);

}  // namespace korvane
