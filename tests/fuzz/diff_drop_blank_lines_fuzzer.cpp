// DropBlankLines against its step-by-step reading.
// Input: the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "text/reference.h"
#include "text/templates.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  korvane::fuzz::CheckSame("DropBlankLines", korvane::reference::DropBlankLines(text),
                           korvane::DropBlankLines(text));
  return 0;
}
