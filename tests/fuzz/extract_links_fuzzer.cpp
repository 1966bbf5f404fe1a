// The link scan as a worker runs it: anchors normalised, links built, blacklist applied.
// Input: one option byte (bit 0 apostrophes as quotes, bit 1 exclude subdomains, bit 2
// relative addressing, bit 3 normalise the anchors first), then the page URL \x1f the site
// \x1f the blacklist lines (split at LF) \x1f the page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "net/fetcher.h"
#include "policy/links.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  FuzzInput input(data, size);
  LinkCase c;
  DecodeLinkCase(input, c);
  const std::string& url = c.url;
  const std::string& host = c.host;
  const korvane::Lines& blacklist = c.blacklist;
  const korvane::LinkOptions& options = c.options;
  const std::string& page = c.page;

  Check(host.find('/') == std::string::npos, "a host holds no slash");
  (void)korvane::UrlPath(url);
  const std::string folder = korvane::UrlDirectory(url);
  Check(!folder.empty() && folder.back() == '/', "a page folder ends with a slash");

  korvane::ExtractLinks(page, url, host, options, [&](const std::string& link) {
    // Only the site base can be empty: "./" on a site without an address builds "".
    if (!options.site.empty()) Check(!link.empty(), "a link with a base is never empty");
    Check(!korvane::IsBlacklisted(link, blacklist), "a blacklisted link is not handed on");
  });
  return 0;
}
