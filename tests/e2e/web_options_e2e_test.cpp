// Compressed answers, sitemaps and links read as a browser reads them, through korvane-cli\n//
// against nginx.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/fixture_site.h"
#include "e2e/servers.h"
#include "support/deflated.h"
#include "support/temp_dir.h"

namespace korvane::testing {
namespace {

constexpr const char* kAddress = "127.0.0.67";

// A crawl of http://kAddress/ in a fresh folder; returns the folder.
std::unique_ptr<TempDir> Crawl(std::vector<std::string> flags, std::string* err = nullptr) {
  auto work = std::make_unique<TempDir>();
  work->Write("UA.txt", "KorvaneWeb/1.0\r\n");
  std::vector<std::string> args = {"crawl", "--site", std::string("http://") + kAddress + "/",
                                   "--ignore-whitelist", "--markup"};
  args.insert(args.end(), flags.begin(), flags.end());
  const CliRun run = RunCli(args, work->path());
  EXPECT_EQ(run.exit_code, 0) << run.err;
  if (err != nullptr) *err = run.err;
  return work;
}

// The result files' contents in order: workers number them as they start, which varies.
std::vector<std::string> Results(const TempDir& work) {
  std::vector<std::string> texts;
  for (const auto& file : std::filesystem::directory_iterator(work.File("parse"))) {
    texts.push_back(work.Read("parse/" + file.path().filename().string()));
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

TEST(WebOptionsE2e, AGzipSiteCrawledCompressedGivesTheSameFilesAndList) {
  TempDir root;
  LargeSiteShape shape;
  shape.pages = 40;
  shape.host = kAddress;
  WriteSite(root.path(), MakeLargeSite(shape));
  const NginxServer server(kAddress, root.path(),
                           {"gzip on; gzip_http_version 1.0; gzip_types text/html;", ""});
  const auto plain = Crawl({});
  const auto compressed = Crawl({"--compressed"});
  EXPECT_EQ(compressed->Read("parsed_urls.txt"), plain->Read("parsed_urls.txt"));
  EXPECT_EQ(Results(*compressed), Results(*plain));
  EXPECT_EQ(Results(*plain).size(), 40u);
}

TEST(WebOptionsE2e, PagesOnlyTheSitemapsNameAreCrawledWithTheOption) {
  TempDir root;
  const std::string site = std::string("http://") + kAddress;
  SiteTable pages = {{"index.html", NamedPage("start", {"/p0.html"})},
                     {"robots.txt", "Sitemap: " + site + "/maps/index.xml\n"},
                     {"sitemap.xml", "this is no XML"}};
  std::string urls =
      "<urlset><url><loc>http://elsewhere.invalid/x.html</loc></url><url><loc>/d.jpg</loc></url>";
  for (int i = 0; i < 10; ++i) {
    pages["p" + std::to_string(i) + ".html"] = NamedPage("page " + std::to_string(i));
    urls += "<url><loc>" + site + "/p" + std::to_string(i) + ".html</loc></url>";
  }
  pages["maps/a.xml.gz"] = Deflated(urls + "</urlset>");
  pages["maps/index.xml"] =
      "<sitemapindex><sitemap><loc>" + site + "/maps/a.xml.gz</loc></sitemap></sitemapindex>";
  WriteSite(root.path(), pages);
  const NginxServer server(kAddress, root.path());
  EXPECT_EQ(Results(*Crawl({})).size(), 2u);
  std::string err;
  EXPECT_EQ(Results(*Crawl({"--sitemaps"}, &err)).size(), 11u);
  EXPECT_NE(err.find("sitemaps: 2 files, 12 addresses, 1 unreadable"), std::string::npos) << err;
}

TEST(WebOptionsE2e, LinksReadAsABrowserReadsThemReachEveryPageOfANestedSite) {
  TempDir root;
  WriteSite(root.path(), {{"index.html", NamedPage("start", {"a/", "b/c/d.html"})},
                          {"a/index.html", NamedPage("a", {"../b/e.html", "./f.html#part"})},
                          {"a/f.html", NamedPage("f", {"../../b/c/../g.html"})},
                          {"b/e.html", "<BASE HREF='/b/c/'><A HREF=\"h.html?x=1&amp;y=2\">h</A>"},
                          {"b/c/d.html", NamedPage("d", {"../../a/"})},
                          {"b/c/h.html", NamedPage("h")},
                          {"b/g.html", NamedPage("g", {"../missing.html"})}});
  const NginxServer server(kAddress, root.path());
  const auto work = Crawl({"--standard-links", "--report"});
  EXPECT_EQ(Results(*work).size(), 8u);  // the 404 page is saved as any answer is
  std::vector<std::string> paths = server.RequestedPaths();
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths,
            (std::vector<std::string>{"/", "/a/", "/a/f.html", "/b/c/d.html", "/b/c/h.html?x=1&y=2",
                                      "/b/e.html", "/b/g.html", "/missing.html"}));
  const std::string csv = work->Read("report/pages.csv");
  EXPECT_NE(csv.find("/missing.html,"), std::string::npos);
  EXPECT_NE(csv.find(",http://" + std::string(kAddress) + "/b/g.html,0\r\n"), std::string::npos)
      << csv;
}

}  // namespace
}  // namespace korvane::testing
