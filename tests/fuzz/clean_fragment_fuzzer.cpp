// CleanFragment on any text: it never grows the text and leaves no space run and no
// placeholder behind.
// Input: the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "text/templates.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string cleaned = korvane::CleanFragment(text);
  // Every replaced span is at least as long as what replaces it.
  Check(cleaned.size() <= text.size(), "cleaning never lengthens the text");
  Check(cleaned.find("  ") == std::string::npos, "space runs are collapsed");
  Check(cleaned.find("[BR]") == std::string::npos, "placeholders become <br>");
  return 0;
}
