// Throughput of the text extractors on a realistic article page and on an anchor-heavy page.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "base/text_lines.h"
#include "text/extract_between.h"
#include "text/plain_text.h"
#include "text/templates.h"

namespace korvane {
namespace {

constexpr size_t kArticleBytes = size_t{1} << 20;
constexpr size_t kAnchorPageBytes = size_t{5} << 20;
constexpr int kAnchors = 50'000;

constexpr const char* kWords[] = {
    "the",     "crawler", "reads",    "every", "page",    "of",       "one",    "site",
    "and",     "keeps",   "only",     "prose", "lines",   "between",  "markup", "with",
    "a",       "few",     "entities", "such",  "as",      "quotes",   "that",   "readers",
    "expect",  "to",      "see",      "in",    "plain",   "articles", "about",  "history",
    "science", "travel",  "cooking",  "music", "gardens", "rivers",   "cities", "mountains",
};

class Words {
 public:
  std::string Sentence(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      if (i > 0) text += ' ';
      text += kWords[engine_() % std::size(kWords)];
    }
    return text;
  }
  uint32_t Next() { return engine_(); }

 private:
  std::mt19937 engine_{2024};
};

constexpr std::string_view kHeader =
    "HTTP/1.0 200 OK\r\nServer: nginx\r\nContent-Type: text/html; charset=windows-1251\r\n"
    "Set-Cookie: session=0123456789abcdef; path=/\r\nConnection: close\r\n\r\n";

// About 1 MiB: header, head with scripts and styles, then articles of paragraphs with inline
// tags, entities, links, an inline script now and then, and a footer.
std::string ArticlePage() {
  Words words;
  std::string page(kHeader);
  page +=
      "<!DOCTYPE html>\r\n<html><head><title>Articles</title>\r\n"
      "<script type=\"text/javascript\">var n = 0; for (var i = 0; i < 10; i++) { if (n > i) "
      "n = i; }</script>\r\n<style>p { margin: 0 }</style>\r\n</head><body>\r\n";
  int article = 0;
  while (page.size() < kArticleBytes - 4096) {
    page += "<div class=\"post\" id=\"post" + std::to_string(article) + "\">\r\n<h2>" +
            words.Sentence(5) + "</h2>\r\n";
    for (int paragraph = 0; paragraph < 5; ++paragraph) {
      page += "<p>" + words.Sentence(12) + " <b>" + words.Sentence(2) + "</b> " +
              words.Sentence(10) + "&nbsp;&mdash; &quot;" + words.Sentence(4) + "&quot; " +
              words.Sentence(6) + " &amp; " + words.Sentence(5) + " it&#8217;s <a href=\"/a/" +
              std::to_string(words.Next() % 100000) + "\">" + words.Sentence(3) + "</a>. " +
              words.Sentence(15) + "<br>\r\n" + words.Sentence(14) + "</p>\r\n";
    }
    if (article % 4 == 0) {
      page += "<script>document.write('<span>' + " + std::to_string(article) +
              " + '</span>');</script>\r\n";
    }
    page += "</div>\r\n";
    ++article;
  }
  page += "<div id=\"footer\">" + words.Sentence(8) + "</div>\r\n</body></html>\r\n";
  return page;
}

// About 5 MiB: kAnchors list items, each an anchor with an inline tag, then paragraphs.
std::string AnchorPage() {
  Words words;
  std::string page(kHeader);
  page += "<html><head><title>Index</title></head><body>\r\n<ul class=\"index\">\r\n";
  for (int i = 0; i < kAnchors; ++i) {
    const std::string number = std::to_string(i);
    page += "<li><a href=\"/catalog/item" + number + ".html\">" + words.Sentence(2) + " <i>" +
            number + "</i></a></li>\r\n";
  }
  page += "</ul>\r\n";
  while (page.size() < kAnchorPageBytes - 4096) page += "<p>" + words.Sentence(16) + "</p>\r\n";
  page += "<div id=\"footer\">" + words.Sentence(8) + "</div>\r\n</body></html>\r\n";
  return page;
}

const std::string& Page(int64_t which) {
  static const std::string article = ArticlePage();
  static const std::string anchors = AnchorPage();
  return which == 0 ? article : anchors;
}

void Label(benchmark::State& state) {
  state.SetLabel(state.range(0) == 0 ? "1MB article page" : "5MB page, 50000 anchors");
}

void BM_ExtractPlainText(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(ExtractPlainText(page));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
  Label(state);
}

void BM_ApplyTemplates(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  const Lines templates = {
      "[blockname]title[/blockname][start]<title>[/start][stop]</title>[/stop]",
      "[blockname]links[/blockname][start]<a href=[/start][stop]</a>[/stop] [-all]",
      "[blockname]body[/blockname][start]<body>[/start][stop]<div id=\"footer\">[/stop] "
      "[-cleantext]",
  };
  const TemplateOptions defaults;  // mark-up off: the whole output is cleaned once more
  for (auto _ : state) benchmark::DoNotOptimize(ApplyTemplates(page, templates, defaults));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
  Label(state);
}

void BM_ExtractBetween(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(ExtractBetween("<div id=\"footer\">", "</div>", page));
    benchmark::DoNotOptimize(ExtractBetween("<body>", "</body>", page));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
  Label(state);
}

void BM_CleanFragment(benchmark::State& state) {
  const std::string& page = Page(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(CleanFragment(page));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
  Label(state);
}

BENCHMARK(BM_ExtractPlainText)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyTemplates)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtractBetween)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanFragment)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
