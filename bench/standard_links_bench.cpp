// The browser-like link step over a folder of saved pages, in one thread, parse included:
// references read by libxml2, each resolved, normalised and tested against the site.
//   korvane-links-bench FOLDER
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "policy/standard_links.h"

namespace {

constexpr std::string_view kHead = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";

using korvane::bench::CpuSeconds;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  size_t total = 0;
  const std::vector<std::string> pages = korvane::bench::ReadAnswers(argv[1], kHead, total);
  // Pages of any site, read as pages of one: every absolute link of another site is resolved
  // and then dropped, as a crawl does.
  korvane::StandardLinks links({"http://site.test/", false, false, false, nullptr});
  size_t kept = 0;
  const double start = CpuSeconds();
  for (const std::string& page : pages) {
    links.Extract(page, "http://site.test/folder/page.html", [&kept](std::string) { ++kept; });
  }
  const double spent = CpuSeconds() - start;
  std::printf(
      "%zu pages, %.1f MB in %.3f s of CPU: %.1f MB/s; %zu site links kept, %zu "
      "unparsable, %zu over the page bound\n",
      pages.size(), static_cast<double>(total) / 1e6, spent,
      static_cast<double>(total) / 1e6 / spent, kept, links.Unparsable(), links.Cut());
  return 0;
}
