// The browser-like link step on any page: it ends, and every address it keeps is a whole,
// safe http or https address on the site, within the bounds.
// Input: one option byte (bit 0 https, bit 1 exclude subdomains, bit 2 skip nofollow), then
// the page's address \x1f the site \x1f the page (head and body).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "policy/standard_links.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  FuzzInput input(data, size);
  const uint8_t bits = input.TakeByte();
  const std::string url(input.TakeField());
  const std::string site(input.TakeField());
  korvane::StandardLinks step({site, (bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, nullptr});
  const korvane::SiteScope scope(site, (bits & 1) != 0, (bits & 2) != 0);
  size_t count = 0;
  step.Extract(input.Rest(), url, [&](const std::string& link) {
    ++count;
    Check(link.starts_with("http://") || link.starts_with("https://"), "http or https");
    Check(link.size() <= korvane::kMostAddressBytes, "no address over the bound");
    // Read again, the address is itself and on the site.
    const auto again = korvane::LinkResolver(link).Resolve(link);
    Check(again && again->address == link, "a kept address is already normal");
    Check(again && scope.Contains(*again), "a kept address lies on the site");
    for (size_t i = 0; again && i < link.size(); ++i) {
      const auto byte = static_cast<unsigned char>(link[i]);
      if (i >= again->host_at && i < again->host_at + again->host_size && byte >= 0x80) continue;
      Check(byte > 0x20 && byte < 0x7F &&
                std::string_view("\"<>\\^`{|}#").find(link[i]) == std::string_view::npos,
            "only bytes an address may hold (a host's own letters aside)");
    }
  });
  Check(count <= korvane::kMostPageReferences, "no more addresses than the page bound");
  return 0;
}
