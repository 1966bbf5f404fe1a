// ExtractBetween against its step-by-step reading.
// Input: start marker \x1f end marker \x1f text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "text/extract_between.h"
#include "text/reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  FuzzInput input(data, size);
  const std::string_view start = input.TakeField();
  const std::string_view stop = input.TakeField();
  const std::string_view text = input.Rest();
  CheckSame("ExtractBetween", korvane::reference::ExtractBetween(start, stop, text),
            korvane::ExtractBetween(start, stop, text));
  return 0;
}
