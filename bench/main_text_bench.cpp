// Main-text throughput over a folder of saved pages in one process, parse included, with the
// peak memory one page's extraction takes, and the time of a 2 MB and a 20 MB page.
//   korvane-main-text-bench FOLDER [--latin1 | --all-options] [--markdown]
// --all-options times what a worker does with --main-text --utf8 --metadata (and --markdown
// when given), through the worker's own routines: the page to UTF-8, its main text and
// metadata from one parse, the result file's bytes, the record's digest, words and JSON line.
#include <libxml/HTMLparser.h>
#include <libxml/xmlmemory.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/text_lines.h"
#include "bench/bench_support.h"
#include "crawl/worker.h"
#include "report/pages_jsonl.h"
#include "text/main_text.h"
#include "text/page_meta.h"

namespace {

// Live and peak heap bytes (operator new and libxml2's allocations), for the memory bound of
// one extraction.
size_t g_live = 0;
size_t g_peak = 0;

void* CountedMalloc(size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p != nullptr) g_live += malloc_usable_size(p);
  g_peak = std::max(g_peak, g_live);
  return p;
}
void CountedFree(void* p) {
  if (p == nullptr) return;
  g_live -= malloc_usable_size(p);
  std::free(p);
}
void* CountedRealloc(void* p, size_t size) {
  const size_t before = p == nullptr ? 0 : malloc_usable_size(p);
  void* q = std::realloc(p, size);
  if (q == nullptr) return nullptr;
  g_live += malloc_usable_size(q) - before;
  g_peak = std::max(g_peak, g_live);
  return q;
}
char* CountedStrdup(const char* s) {
  const size_t n = std::strlen(s) + 1;
  auto* p = static_cast<char*>(CountedMalloc(n));
  if (p != nullptr) std::memcpy(p, s, n);
  return p;
}

}  // namespace

void* operator new(size_t size) {
  void* p = CountedMalloc(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept {
  CountedFree(p);
}
void operator delete(void* p, size_t /*size*/) noexcept {
  operator delete(p);
}

namespace {

constexpr std::string_view kHead = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";

using korvane::bench::CpuSeconds;

bool g_markdown = false;  // the main text's Markdown form instead of its lines
bool g_all_options = false;

// The main text of `page`, as Markdown when so asked.
std::string MainText(const std::string& page, korvane::PageBytes bytes) {
  return g_markdown ? korvane::ExtractMainMarkdown(page, bytes, "http://127.0.0.2/a/")
                    : korvane::ExtractMainText(page, bytes);
}

double TimeOne(const std::string& page, korvane::PageBytes bytes, size_t& out_size) {
  const double start = CpuSeconds();
  if (!g_all_options) {
    out_size += MainText(page, bytes).size();
    return CpuSeconds() - start;
  }
  static korvane::CrawlOptions options;
  options.main_text = options.utf8_text = options.write_metadata = true;
  options.markdown = g_markdown;
  const std::string url = "http://127.0.0.2/a/";
  std::string utf8 = page;
  korvane::ConvertForText(utf8, options);
  korvane::PageMetaReader reader = korvane::MetaReaderFor(utf8, options);
  const std::string text = korvane::PlainModeText(utf8, options, url, &reader);
  std::string saved = text;
  korvane::NormalizeLinesInPlace(saved);
  const auto passport = korvane::ReadPassport(reader, utf8, text, saved, url);
  out_size += saved.size() + korvane::PassportJson(url, passport, nullptr).size();
  return CpuSeconds() - start;
}

// libxml2's HTML parse alone, to a tree, as the yardstick for this machine's speed.
double TimeParseAlone(const std::string& page) {
  const double start = CpuSeconds();
  const size_t body = page.find("\r\n\r\n") + 4;
  htmlDocPtr doc = htmlReadMemory(
      page.data() + body, static_cast<int>(page.size() - body), nullptr, "ISO-8859-1",
      HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
  xmlFreeDoc(doc);
  return CpuSeconds() - start;
}

// An article page of about `size` bytes: paragraphs, links and a menu, repeated.
std::string SyntheticPage(size_t size) {
  std::string page(kHead);
  page +=
      "<html><body><nav><ul><li><a href=/>Home</a></li><li><a href=/a>About</a></li></ul>"
      "</nav><div class=\"content\">";
  while (page.size() < size) {
    page +=
        "<h2>A heading of the article</h2><p>Some words of the running text, with a <a "
        "href=\"/x\">link</a> and <b>bold words</b>, long enough to count as prose.</p>"
        "<ul><li>an item</li><li>another item</li></ul>\n";
  }
  page += "</div><footer>Footer</footer></body></html>";
  return page;
}

}  // namespace

int main(int argc, char** argv) {
  // libxml2's own buffers count too.
  xmlMemSetup(CountedFree, CountedMalloc, CountedRealloc, CountedStrdup);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [--latin1 | --all-options] [--markdown]\n", argv[0]);
    return 2;
  }
  auto bytes = korvane::PageBytes::kCp1251;
  for (int k = 2; k < argc; ++k) {
    if (std::string(argv[k]) == "--latin1") bytes = korvane::PageBytes::kLatin1;
    if (std::string(argv[k]) == "--markdown") g_markdown = true;
    if (std::string(argv[k]) == "--all-options") g_all_options = true;
  }
  size_t total = 0;
  const std::vector<std::string> pages = korvane::bench::ReadAnswers(argv[1], kHead, total);
  size_t out_size = 0;
  double spent = 0;
  double worst_ratio = 0;
  size_t worst_size = 0;
  for (const std::string& page : pages) {
    const size_t live = g_live;
    g_peak = live;
    spent += TimeOne(page, bytes, out_size);
    const double ratio = static_cast<double>(g_peak - live) / page.size();
    if (ratio > worst_ratio) {
      worst_ratio = ratio;
      worst_size = page.size();
    }
  }
  std::printf("%zu pages, %.1f MB in %.2f s of CPU time: %.1f MB/s; %zu bytes of text\n",
              pages.size(), total / 1e6, spent, total / 1e6 / spent, out_size);
  double parse_alone = 0;
  for (const std::string& page : pages) parse_alone += TimeParseAlone(page);
  std::printf("libxml2's parse alone (htmlReadMemory to a tree): %.1f MB/s\n",
              total / 1e6 / parse_alone);
  std::printf("peak memory of one extraction: at most %.1f times its page (%zu bytes)\n",
              worst_ratio, worst_size);
  // The first run of the large page also pays for the fresh memory the kernel hands out; the
  // median of three runs of each size is the extraction's own growth.
  const std::string small = SyntheticPage(2'000'000);
  const std::string large = SyntheticPage(20'000'000);
  std::vector<double> t_small;
  std::vector<double> t_large;
  for (int run = 0; run < 3; ++run) {
    t_small.push_back(TimeOne(small, bytes, out_size));
    t_large.push_back(TimeOne(large, bytes, out_size));
  }
  const double first = t_large[0] / t_small[0];
  std::sort(t_small.begin(), t_small.end());
  std::sort(t_large.begin(), t_large.end());
  std::printf(
      "2 MB page %.3f s, 20 MB page %.3f s (medians of 3): %.1f times; first runs %.1f times\n",
      t_small[1], t_large[1], t_large[1] / t_small[1], first);
  return 0;
}
