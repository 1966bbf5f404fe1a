// Throughput of the link scan on a large page full of anchors.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "policy/links.h"

namespace korvane {
namespace {

constexpr int kAnchors = 50'000;
constexpr size_t kPageBytes = size_t{5} << 20;

// 5 MiB of markup with kAnchors anchors, spread evenly, of every kind the rules tell apart.
std::string AnchorHeavyPage() {
  const std::string hrefs[] = {
      "/news/item",         "./page",     "http://site.ru/a?b=1&amp;c=", "#top", "doc",
      "http://other.org/x", "img/pic.jpg"};
  constexpr size_t kBlockBytes = kPageBytes / kAnchors;
  std::string page;
  page.reserve(kPageBytes);
  for (int i = 0; i < kAnchors; ++i) {
    const std::string number = std::to_string(i);
    const std::string anchor =
        "<a href=\"" + hrefs[i % 7] + number + "\">link " + number + "</a>\r\n";
    const size_t prose = kBlockBytes - std::min(kBlockBytes, anchor.size() + 9);
    page += "<p>" + std::string(prose, 'w') + "</p>\r\n" + anchor;
  }
  page.resize(kPageBytes, 'w');
  return page;
}

void BM_ExtractLinks(benchmark::State& state) {
  const std::string page = AnchorHeavyPage();
  const Lines blacklist = {".jpg", ".png", "/login"};
  LinkOptions options;
  options.site = "http://site.ru/";
  options.blacklist = &blacklist;
  size_t links = 0;
  for (auto _ : state) {
    ExtractLinks(page, "http://site.ru/dir/page.html", "site.ru", options,
                 [&links](const std::string& link) { links += link.size() > 0; });
  }
  benchmark::DoNotOptimize(links);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.counters["anchors"] = kAnchors;
}
BENCHMARK(BM_ExtractLinks)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
