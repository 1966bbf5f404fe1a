// ExtractPlainText on any page: every line it keeps is a finished prose line.
// Input: the whole page, header included.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "text/plain_text.h"

namespace korvane::fuzz {
namespace {

void CheckProseLine(std::string_view line) {
  size_t spaces = 0;
  for (const char c : line) {
    Check(c != '\r' && c != '\n' && c != '\t' && c != '\0', "no break, TAB or NUL in a line");
    spaces += c == ' ';
  }
  Check(line.find("  ") == std::string_view::npos, "space runs are collapsed");
  Check(spaces > 3 && line.size() - spaces > 10, "a kept line passes the prose test");
  for (std::string_view entity : {"&nbsp;", "&gt;", "&amp;", "&quot;", "&#8217;"}) {
    Check(line.find(entity) == std::string_view::npos, "replaced entities are gone");
  }
}

}  // namespace
}  // namespace korvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  const std::string text = korvane::ExtractPlainText(page);

  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t end = rest.find("\r\n");
    Check(end != std::string_view::npos, "every kept line ends with CR LF");
    CheckProseLine(rest.substr(0, end));
    rest.remove_prefix(end + 2);
  }
  return 0;
}
