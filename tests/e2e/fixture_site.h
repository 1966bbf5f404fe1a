// Web sites for the end-to-end tests and the crawl benchmark, written as plain files for a
// static server to serve.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvane::testing {

// A site as a table: path below the document root ("index.html", "docs/a.html") -> body.
using SiteTable = std::map<std::string, std::string>;

// Writes every page of `site` under `root`, creating the folders on the way; the bodies are
// written byte for byte. Throws std::runtime_error when a file cannot be written.
void WriteSite(const std::string& root, const SiteTable& site);

// A small HTML page: `title` in <title>, then every element of `lines` on a line of its own
// inside <body>, so that each keeps its own line in the page text.
//   HtmlPage("T", {"<p>x</p>"}) ->
//   "<html><head><title>T</title></head>\n<body>\n<p>x</p>\n</body></html>\n"
[[nodiscard]] std::string HtmlPage(const std::string& title, const std::vector<std::string>& lines);

// `<a href="target">label</a>`
[[nodiscard]] std::string Anchor(const std::string& target, const std::string& label);

// A page with one prose line that names it, and an anchor "go" for each of `links`.
[[nodiscard]] std::string NamedPage(const std::string& name,
                                    const std::vector<std::string>& links = {});

// Every line followed by CR LF, as the crawler writes its files.
[[nodiscard]] std::string CrLf(const std::vector<std::string>& lines);

// The shape of a generated site. Page 0 is the root ("index.html", served at "/"); page i > 0
// lives at "<section>/<part>/page<i>.html" with a few folders per level.
struct LargeSiteShape {
  int pages = 2000;
  std::string host = "127.0.0.3";  // the host that absolute links name
  std::string scheme = "http://";  // and their scheme
  int paragraphs = 6;              // prose paragraphs per page
  uint32_t seed = 20261208;        // same seed, same site
  int named = 0;                   // addresses each page names that no other page names
};

// A generated site of `shape.pages` pages. Every page is reachable from the root through a
// tree of links (page i links to pages 2i+1 and 2i+2), and each page also links to a few
// pages chosen at random, and names `shape.named` addresses under "/z/" that lead to no page
// (they sort after the pages, and spread over their part of the list). Links come in every
// form the crawler tells apart: absolute SCHEME + "HOST/...", root-relative "/...", relative
// to the root without a leading "/", and
// links that never lead to a page: with "#" (dropped) and to ".jpg" pictures (blacklisted by
// default). Each paragraph is one line of more than 10 letters and more than 3 spaces, so the
// plain-text extractor keeps it; the menu lines are too short to be kept.
[[nodiscard]] SiteTable MakeLargeSite(const LargeSiteShape& shape);

// The path of page `index` of a generated site, without the leading "/" ("" for the root).
[[nodiscard]] std::string LargeSitePagePath(int index);

// Every address a crawl of the generated site from SCHEME + "HOST/" can reach: the root, one
// address per page and the named addresses, in no particular order.
[[nodiscard]] std::vector<std::string> LargeSiteAddresses(const LargeSiteShape& shape);

}  // namespace korvane::testing
