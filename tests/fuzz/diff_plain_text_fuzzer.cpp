// ExtractPlainText against its step-by-step reading.
// Input: the whole page, header included.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "text/plain_text.h"
#include "text/reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  korvane::fuzz::CheckSame("ExtractPlainText", korvane::reference::ExtractPlainText(page),
                           korvane::ExtractPlainText(page));
  return 0;
}
