// The sitemap reader on any answer: Sitemap lines, the body (inflated when it is compressed)
// and the XML, within their bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "policy/sitemap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  const std::string_view answer(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : RobotsSitemaps(answer)) fuzz::Check(!line.empty(), "a value");
  bool cut = false;
  const auto body = SitemapBody(answer, cut, 1 << 16);
  fuzz::Check(!body || body->size() <= (1 << 16), "the body stays within its bound");
  for (const std::string_view xml : {answer, body ? std::string_view(*body) : answer}) {
    const SitemapFile file = ReadSitemapXml(xml, 8);
    fuzz::Check(file.locs.size() <= 8, "at most the bound of addresses");
    for (const std::string& loc : file.locs) {
      fuzz::Check(!loc.empty() && loc.front() != ' ' && loc.back() != ' ', "a trimmed address");
    }
  }
  return 0;
}
