// DropBlankLines on any text: only filled lines, each with CR LF, and a second pass changes
// nothing.
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
  const std::string kept = korvane::DropBlankLines(text);

  std::string_view rest = kept;
  while (!rest.empty()) {
    const size_t end = rest.find("\r\n");
    Check(end != std::string_view::npos, "every kept line ends with CR LF");
    const std::string_view line = rest.substr(0, end);
    Check(line.find_first_not_of(" \t") != std::string_view::npos, "no blank line is kept");
    Check(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos,
          "no break or NUL inside a kept line");
    rest.remove_prefix(end + 2);
  }
  CheckSame("DropBlankLines applied twice", kept, korvane::DropBlankLines(kept));
  return 0;
}
