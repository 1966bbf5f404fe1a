// ExtractMainText on any page in either byte mapping: it ends, and gives whole lines.
// Input: one byte choosing the mapping, then the whole page, header included.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "text/main_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  FuzzInput input(data, size);
  const auto bytes =
      (input.TakeByte() & 1) != 0 ? korvane::PageBytes::kCp1251 : korvane::PageBytes::kLatin1;
  const std::string text = korvane::ExtractMainText(input.Rest(), bytes);
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t end = rest.find("\r\n");
    Check(end != std::string_view::npos && end > 0, "every line is non-empty and ends with CR LF");
    const std::string_view line = rest.substr(0, end);
    Check(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos,
          "no break or NUL inside a line");
    Check(line.find_first_not_of(" \t") != std::string_view::npos, "no blank line");
    rest.remove_prefix(end + 2);
  }
  return 0;
}
