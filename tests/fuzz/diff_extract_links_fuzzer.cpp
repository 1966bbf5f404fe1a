// ExtractLinks and UrlDirectory against their step-by-step readings.
// Input: one option byte (bit 0 apostrophes as quotes, bit 1 exclude subdomains, bit 2
// relative addressing, bit 3 normalise the anchors first), then the page URL \x1f the site
// \x1f the blacklist lines (split at LF) \x1f the page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "net/fetcher.h"
#include "policy/links.h"
#include "policy/links_reference.h"

namespace korvane::fuzz {
namespace {

// The links one per line, so that a difference shows where it starts.
std::string Listed(const std::vector<std::string>& links) {
  std::string text;
  for (const std::string& link : links) text += link + '\n';
  return text;
}

}  // namespace
}  // namespace korvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  FuzzInput input(data, size);
  LinkCase c;
  DecodeLinkCase(input, c);
  const std::string& url = c.url;
  const std::string& host = c.host;
  const korvane::LinkOptions& options = c.options;
  const std::string& page = c.page;

  CheckSame("UrlDirectory", korvane::reference::UrlDirectory(url), korvane::UrlDirectory(url));
  std::vector<std::string> links;
  korvane::ExtractLinks(page, url, host, options,
                        [&](const std::string& link) { links.push_back(link); });
  CheckSame("ExtractLinks", Listed(korvane::reference::ExtractLinks(page, url, host, options)),
            Listed(links));
  return 0;
}
