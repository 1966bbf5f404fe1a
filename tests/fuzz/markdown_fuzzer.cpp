// ExtractMainMarkdown on any page in either byte mapping: it ends, and gives whole LF lines.
// Input: one byte choosing the mapping, then the whole page, header included.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "text/main_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  FuzzInput input(data, size);
  const auto bytes =
      (input.TakeByte() & 1) != 0 ? korvane::PageBytes::kCp1251 : korvane::PageBytes::kLatin1;
  const std::string text = korvane::ExtractMainMarkdown(input.Rest(), bytes, "http://h.example/a/");
  Check(text.empty() || text.back() == '\n', "the last line ends with LF");
  Check(text.find('\r') == std::string::npos, "no CR");
  Check(text.find("\n\n\n") == std::string::npos || text.find("```") != std::string::npos,
        "blocks one blank line apart outside code");
  return 0;
}
