// Whole crawls: korvane-cli against nginx serving fixture sites on port 80 of loopback
// addresses, checked through the files the crawl writes and the requests the server logged.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/cp1251.h"
#include "e2e/fixture_site.h"
#include "e2e/servers.h"
#include "support/temp_dir.h"

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// Each group of tests serves its sites on its own address, all on port 80 as the crawler
// requires. 127.0.0.3 is left to the crawl benchmark.
constexpr const char* kSiteAddress = "127.0.0.2";
constexpr const char* kProxiedAddress = "127.0.0.4";
constexpr const char* kGeneratedAddress = "127.0.0.5";
constexpr const char* kNobodyAddress = "127.0.0.9";  // nothing listens here

constexpr const char* kAgent = "KorvaneE2E/1.0 (loopback)";
constexpr const char* kTestFetchAgent = "Yandex/1.01.001 (compatible; Win16; P)";
constexpr const char* kMainBlock =
    "[blockname]main[/blockname][start]<div id=\"main\">[/start][stop]</div>[/stop]";

std::string NamedPageText(const std::string& name) {
  return CrLf({"This is the page called " + name + " with its words."});
}

class CrawlTest : public ::testing::Test {
 protected:
  // The settings file of the working folder: four tagged blocks, memo texts with CR LF.
  void WriteSettings(const std::string& site, const std::string& black, const std::string& white,
                     const std::string& templ) {
    work_.Write("settings/settings.txt", "<site>" + site + "</site>\r\n<black>" + black +
                                             "</black>\r\n<white>" + white + "</white>\r\n<templ>" +
                                             templ + "</templ>\r\n");
  }

  void WriteUserAgents(const std::string& text = std::string(kAgent) + "\r\n") {
    work_.Write("UA.txt", text);
  }

  // Serves `site` on port 80 of `address`.
  NginxServer& Serve(const SiteTable& site, const std::string& address = kSiteAddress) {
    WriteSite(root_.path(), site);
    server_.emplace(address, root_.path());
    return *server_;
  }

  CliRun Run(const std::vector<std::string>& args) {
    CliRun run = RunCli(args, work_.path());
    EXPECT_FALSE(run.timed_out) << "korvane-cli was killed at its time limit\n" << run.err;
    return run;
  }

  // A crawl that must end with `status`; its stderr.
  std::string Crawl(std::vector<std::string> args, int status = 0) {
    args.insert(args.begin(), "crawl");
    const CliRun run = Run(args);
    EXPECT_EQ(run.exit_code, status) << run.err;
    return run.err;
  }

  // The names of the files under parse/, by number.
  [[nodiscard]] std::vector<std::string> ResultFiles() const {
    std::vector<int> numbers;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(work_.File("parse"), ignored)) {
      const std::string stem = entry.path().stem().string();
      if (entry.path().extension() != ".txt" || stem.empty() ||
          !std::all_of(stem.begin(), stem.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        ADD_FAILURE() << "unexpected file in parse/: " << entry.path().filename();
        continue;
      }
      numbers.push_back(std::stoi(stem));
    }
    std::sort(numbers.begin(), numbers.end());
    std::vector<std::string> names;
    for (int number : numbers) names.push_back(std::to_string(number) + ".txt");
    return names;
  }

  [[nodiscard]] std::string Result(int number) const {
    return work_.Read("parse/" + std::to_string(number) + ".txt");
  }

  [[nodiscard]] std::string SeenUrls() const { return work_.Read("parsed_urls.txt"); }

  TempDir work_;
  TempDir root_;
  std::optional<NginxServer> server_;
};

// ---- Which pages a crawl reaches ----

class CrawlReach : public CrawlTest {};

TEST_F(CrawlReach, FetchesEveryReachablePageOnceAndListsEveryAddressSorted) {
  const NginxServer& server = Serve({
      {"index.html",
       HtmlPage("Home", {Anchor("/about.html", "About"), Anchor("docs/guide.html", "Guide"),
                         Anchor("http://127.0.0.2/news/2026.html", "News"),
                         Anchor("/about.html#team", "Team"), Anchor("/pics/cat.jpg", "Cat"),
                         Anchor("http://127.0.0.6/elsewhere.html", "Away")})},
      {"about.html", NamedPage("about", {"/"})},
      {"docs/guide.html", NamedPage("guide", {"/docs/deep/end.html", "/missing.html"})},
      {"docs/deep/end.html", NamedPage("end")},
      {"news/2026.html", NamedPage("news", {"/", "/about.html"})},
      {"pics/cat.jpg", "not a picture"},
  });
  WriteUserAgents("AgentOne/1.0\r\nAgentTwo/2.0\r\n");

  // The link to another host is never followed (it names a loopback address, so even a
  // faulty crawl would stay on this machine).
  Crawl({"--site", server.Url("/"), "--threads", "4"});

  EXPECT_EQ(SeenUrls(),
            CrLf({"http://127.0.0.2/", "http://127.0.0.2/about.html",
                  "http://127.0.0.2/docs/deep/end.html", "http://127.0.0.2/docs/guide.html",
                  "http://127.0.0.2/missing.html", "http://127.0.0.2/news/2026.html"}));
  std::multiset<std::string> paths;
  for (const LoggedRequest& request : server.Requests()) {
    paths.insert(request.Path());
    EXPECT_EQ(request.request_line, "GET " + request.Path() + " HTTP/1.0");
    EXPECT_EQ(request.host, "127.0.0.2");
    EXPECT_EQ(request.via, "-");
    EXPECT_TRUE(request.user_agent == "AgentOne/1.0" || request.user_agent == "AgentTwo/2.0")
        << request.user_agent;
  }
  EXPECT_EQ(paths,
            (std::multiset<std::string>{"/", "/about.html", "/docs/deep/end.html",
                                        "/docs/guide.html", "/missing.html", "/news/2026.html"}));
}

TEST_F(CrawlReach, FollowsEveryLinkFormOfAGeneratedSite) {
  LargeSiteShape shape;
  shape.pages = 120;
  shape.host = kGeneratedAddress;
  const NginxServer& server = Serve(MakeLargeSite(shape), kGeneratedAddress);
  WriteUserAgents();

  Crawl({"--site", server.Url("/"), "--threads", "6", "--links-only"});

  std::vector<std::string> expected = LargeSiteAddresses(shape);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(SeenUrls(), CrLf(expected));
  std::vector<std::string> requested = server.RequestedPaths();
  std::sort(requested.begin(), requested.end());
  std::vector<std::string> expected_paths;
  for (int i = 0; i < shape.pages; ++i) expected_paths.push_back("/" + LargeSitePagePath(i));
  std::sort(expected_paths.begin(), expected_paths.end());
  EXPECT_EQ(requested, expected_paths) << "every page once; no picture, no link with #";
}

TEST_F(CrawlReach, FetchesAddressesDifferingOnlyInLetterCaseOnce) {
  const NginxServer& server = Serve({
      {"index.html", HtmlPage("Home", {Anchor("/Page.html", "one"), Anchor("/page.html", "two"),
                                       Anchor("/PAGE.html", "three")})},
      {"Page.html", NamedPage("Page", {"/page.HTML", "http://127.0.0.2/PAGE.HTML"})},
      {"page.html", NamedPage("page")},
  });
  WriteUserAgents();

  Crawl({"--site", server.Url("/"), "--threads", "3"});

  EXPECT_EQ(SeenUrls(), CrLf({"http://127.0.0.2/", "http://127.0.0.2/Page.html"}));
  EXPECT_THAT(server.RequestedPaths(), ElementsAre("/", "/Page.html"));
}

TEST_F(CrawlReach, RelativeOptionResolvesLinksAgainstThePageFolder) {
  const NginxServer& server = Serve({
      {"index.html", NamedPage("home", {"/dir/page.html"})},
      {"dir/page.html", NamedPage("page", {"next.html"})},
      {"dir/next.html", NamedPage("next")},
      {"next.html", NamedPage("root next")},
  });
  WriteUserAgents();

  Crawl({"--site", server.Url("/"), "--threads", "1", "--relative"});

  EXPECT_THAT(server.RequestedPaths(), ElementsAre("/", "/dir/page.html", "/dir/next.html"));
}

TEST_F(CrawlReach, FollowsAnchorsWrittenLikeTheFirstAnchorOfThePage) {
  // Only anchors whose attributes before href read exactly like the first anchor's are
  // rewritten to <a href=...>; upper-case <A counts as <a.
  const NginxServer& server = Serve({
      {"index.html", HtmlPage("Home", {"<a class=\"nav\" href=\"/n1.html\">one</a>",
                                       "<A class=\"nav\" href=\"/n2.html\">two</A>",
                                       "<a id=\"k\" href=\"/n3.html\">three</a>"})},
      {"n1.html", NamedPage("n1")},
      {"n2.html", NamedPage("n2")},
      {"n3.html", NamedPage("n3")},
  });
  WriteUserAgents();

  Crawl({"--site", server.Url("/"), "--threads", "1"});

  EXPECT_THAT(server.RequestedPaths(), ElementsAre("/", "/n1.html", "/n2.html"));
}

// ---- Dispatch order and result numbering ----

class CrawlOrder : public CrawlTest {};

TEST_F(CrawlOrder, DispatchesTheAlphabeticallyFirstQueuedAddressAndNumbersResultsByDispatch) {
  const NginxServer& server = Serve({
      {"index.html", HtmlPage("Home", {Anchor("/c.html", "c"), Anchor("/a.html", "a"),
                                       Anchor("/B.html", "B"), Anchor("/b2.html", "b2")})},
      {"a.html", NamedPage("a", {"/ab.html"})},
      {"ab.html", NamedPage("ab")},
      {"B.html", NamedPage("B")},
      {"b2.html", NamedPage("b2")},
      // Found last, so fetched last, although it sorts first.
      {"c.html", NamedPage("c", {"/0.html"})},
      {"0.html", NamedPage("0")},
  });
  WriteUserAgents();

  Crawl({"--site", server.Url("/"), "--threads", "1", "--ignore-whitelist"});

  EXPECT_THAT(server.RequestedPaths(),
              ElementsAre("/", "/a.html", "/ab.html", "/B.html", "/b2.html", "/c.html", "/0.html"));
  const char* names[] = {"a", "ab", "B", "b2", "c", "0"};
  for (int n = 1; n <= 6; ++n) {
    EXPECT_EQ(Result(n), NamedPageText(names[n - 1])) << "parse/" << n << ".txt";
  }
}

// ---- What a result file holds ----

class CrawlResults : public CrawlTest {
 protected:
  NginxServer& ServeProseSite() {
    return Serve({
        {"index.html",
         HtmlPage("Home", {"<p>Welcome to the small test site with several pages of text.</p>",
                           Anchor("/a.html", "A"), "<p>Short menu</p>"})},
        {"a.html",
         HtmlPage("Alpha",
                  {"<h1>Alpha</h1>",
                   "<p>The first paragraph of <b>al</b>pha has more than enough words.</p>",
                   "<script>var hidden = 'a script line with many words in it';</script>",
                   "<p>Second&nbsp;paragraph   with &quot;quoted&quot; words\tand spaces.</p>",
                   "<div>tiny line</div>", "<p>" + Utf8ToCp1251(kRussianLine) + "</p>",
                   "<p>Ten letters with three</p>"})},
    });
  }

  static constexpr const char* kRussianLine = "Здесь лежит строка текста на русском языке.";

  [[nodiscard]] std::string AlphaText() const {
    return CrLf({"The first paragraph of alpha has more than enough words.",
                 "Second paragraph with \"quoted\" words and spaces.", Utf8ToCp1251(kRussianLine)});
  }
};

TEST_F(CrawlResults, KeepsTheProseLinesOfEachPageWithCrLf) {
  const NginxServer& server = ServeProseSite();
  WriteUserAgents();

  Crawl({"--site", server.Url("/"), "--threads", "1", "--ignore-whitelist"});

  EXPECT_THAT(ResultFiles(), ElementsAre("0.txt", "1.txt"));
  EXPECT_EQ(Result(0), CrLf({"Welcome to the small test site with several pages of text."}));
  EXPECT_EQ(Result(1), AlphaText());
}

TEST_F(CrawlResults, MarkupHeadsEachResultWithItsAddress) {
  const NginxServer& server = ServeProseSite();
  WriteUserAgents();

  Crawl({"--site", server.Url("/"), "--threads", "1", "--ignore-whitelist", "--markup"});

  EXPECT_EQ(Result(1), "<URL>http://127.0.0.2/a.html</URL>\r\n" + AlphaText());
  EXPECT_THAT(Result(0), StartsWith("<URL>http://127.0.0.2/</URL>\r\nWelcome"));
}

// ---- Which links and pages are admitted ----

class CrawlAdmission : public CrawlTest {
 protected:
  // Dispatched with one thread as: / (0), /drop/two.html (1), /keep/one.html (2),
  // /keep/three.html (3).
  NginxServer& ServeKeepDropSite() {
    return Serve({
        {"index.html", NamedPage("home", {"/keep/one.html", "/drop/two.html", "/keep/three.html"})},
        {"keep/one.html", NamedPage("one")},
        {"drop/two.html", NamedPage("two")},
        {"keep/three.html", NamedPage("three")},
    });
  }

  static std::string KeepDropUrls() {
    return CrLf({"http://127.0.0.2/", "http://127.0.0.2/drop/two.html",
                 "http://127.0.0.2/keep/one.html", "http://127.0.0.2/keep/three.html"});
  }
};

TEST_F(CrawlAdmission, NeverRequestsOrListsABlacklistedAddress) {
  const NginxServer& server = Serve({
      {"index.html", NamedPage("home", {"/private/secret.html", "/public.html", "/photo.jpg",
                                        "/private-not.html"})},
      {"public.html", NamedPage("public", {"/private/other.html"})},
      {"private-not.html", NamedPage("near")},
      {"private/secret.html", NamedPage("secret")},
      {"private/other.html", NamedPage("other")},
      {"photo.jpg", "jpeg"},
  });
  WriteSettings(server.Url("/"), ".jpg\r\n/private/", "", "");
  WriteUserAgents();

  Crawl({"--threads", "2"});

  EXPECT_EQ(SeenUrls(), CrLf({"http://127.0.0.2/", "http://127.0.0.2/private-not.html",
                              "http://127.0.0.2/public.html"}));
  std::vector<std::string> requested = server.RequestedPaths();
  std::sort(requested.begin(), requested.end());
  EXPECT_THAT(requested, ElementsAre("/", "/private-not.html", "/public.html"));
}

TEST_F(CrawlAdmission, WritesResultsOnlyForWhitelistedAddresses) {
  const NginxServer& server = ServeKeepDropSite();
  WriteSettings(server.Url("/"), "", "/keep/", "");
  WriteUserAgents();

  Crawl({"--threads", "1"});

  EXPECT_THAT(ResultFiles(), ElementsAre("2.txt", "3.txt"));
  EXPECT_EQ(Result(2), NamedPageText("one"));
  EXPECT_EQ(Result(3), NamedPageText("three"));
  EXPECT_EQ(SeenUrls(), KeepDropUrls());
}

TEST_F(CrawlAdmission, EmptyDefaultWhitelistWritesNoResultButFollowsAllLinks) {
  const NginxServer& server = ServeKeepDropSite();
  WriteUserAgents();

  Crawl({"--site", server.Url("/"), "--threads", "2"});

  EXPECT_THAT(ResultFiles(), IsEmpty());
  EXPECT_EQ(SeenUrls(), KeepDropUrls());
  EXPECT_EQ(server.Requests().size(), 4u);
}

TEST_F(CrawlAdmission, IgnoringTheWhitelistWritesEveryPage) {
  const NginxServer& server = ServeKeepDropSite();
  WriteSettings(server.Url("/"), "", "/keep/", "");
  WriteUserAgents();

  Crawl({"--threads", "1", "--ignore-whitelist"});

  EXPECT_THAT(ResultFiles(), ElementsAre("0.txt", "1.txt", "2.txt", "3.txt"));
  EXPECT_EQ(Result(0), NamedPageText("home"));
  EXPECT_EQ(Result(1), NamedPageText("two"));
}

TEST_F(CrawlAdmission, LinksOnlyWritesNoResultButTheFullAddressList) {
  const NginxServer& server = ServeKeepDropSite();
  WriteUserAgents();

  Crawl({"--site", server.Url("/"), "--threads", "2", "--ignore-whitelist", "--links-only"});

  EXPECT_THAT(ResultFiles(), IsEmpty());
  EXPECT_EQ(SeenUrls(), KeepDropUrls());
}

// ---- Selective parsing and template pages ----

class SelectiveCrawl : public CrawlTest {
 protected:
  // Dispatched with one thread as: / (0), /with.html (1), /without.html (2).
  NginxServer& ServeBlockSite() {
    return Serve({
        {"index.html", NamedPage("home", {"/without.html", "/with.html"})},
        {"with.html",
         HtmlPage("With", {"<p>Prose outside the block that must not appear in the result.</p>",
                           "<div id=\"main\">Only this block text</div>",
                           "<p>More prose after the block that must not appear either.</p>"})},
        {"without.html", NamedPage("without")},
    });
  }
};

TEST_F(SelectiveCrawl, ResultHoldsOnlyTheBlockText) {
  const NginxServer& server = ServeBlockSite();
  WriteSettings(server.Url("/"), "", "", kMainBlock);
  WriteUserAgents();

  Crawl({"--threads", "1", "--selective", "--ignore-whitelist"});

  EXPECT_EQ(Result(1), " Only this block text \r\n");
  // Pages without the block are admitted too, and their empty block leaves nothing.
  EXPECT_EQ(Result(0), "");
  EXPECT_EQ(Result(2), "");
}

TEST_F(SelectiveCrawl, MarkupKeepsTheBlockTagsAndHeadsTheAddress) {
  const NginxServer& server = ServeBlockSite();
  WriteSettings(server.Url("/"), "", "", kMainBlock);
  WriteUserAgents();

  Crawl({"--threads", "1", "--selective", "--ignore-whitelist", "--markup"});

  EXPECT_EQ(Result(1),
            "<URL>http://127.0.0.2/with.html</URL>\r\n<main>Only this block text</main>\r\n");
  EXPECT_EQ(Result(2), "<URL>http://127.0.0.2/without.html</URL>\r\n<main>Error</main>\r\n");
}

TEST_F(SelectiveCrawl, RefusesToStartWithoutTemplates) {
  const NginxServer& server = ServeBlockSite();
  WriteSettings(server.Url("/"), "", "", "");
  WriteUserAgents();

  const CliRun run = Run({"crawl", "--selective", "--ignore-whitelist"});

  EXPECT_NE(run.exit_code, 0);
  EXPECT_THAT(run.err, HasSubstr("Не задано шаблонов для селективного парсинга"));
  EXPECT_THAT(server.Requests(), IsEmpty());
  EXPECT_FALSE(work_.Exists("parsed_urls.txt"));
}

TEST_F(SelectiveCrawl, TemplatePagesAdmitsOnlyPagesHoldingEveryMarker) {
  const NginxServer& server = ServeBlockSite();
  WriteSettings(server.Url("/"), "", "", kMainBlock);
  WriteUserAgents();

  // The whitelist is empty and not ignored: template mode decides alone.
  Crawl({"--threads", "1", "--template-pages"});

  EXPECT_THAT(ResultFiles(), ElementsAre("1.txt"));
  EXPECT_EQ(Result(1), CrLf({"Prose outside the block that must not appear in the result.",
                             "More prose after the block that must not appear either."}));
}

TEST_F(SelectiveCrawl, TestFetchWritesTheRawAnswerAndTheTemplateResult) {
  const NginxServer& server = ServeBlockSite();
  WriteSettings(server.Url("/"), "", "", kMainBlock);

  const CliRun run = Run({"test", server.Url("/with.html")});

  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string raw = work_.Read("SelectiveParseTest/html.txt");
  EXPECT_THAT(raw, StartsWith("HTTP/1.1 200 OK\r\n"));
  EXPECT_THAT(raw, HasSubstr("\r\n\r\n<html>"));
  EXPECT_THAT(raw, HasSubstr("\r\n<div id=\"main\">Only this block text</div>\r\n"));
  for (size_t i = raw.find('\n'); i != std::string::npos; i = raw.find('\n', i + 1)) {
    ASSERT_TRUE(i > 0 && raw[i - 1] == '\r') << "bare line feed at byte " << i;
  }
  EXPECT_EQ(work_.Read("SelectiveParseTest/test.txt"), " Only this block text \r\n");
  const std::vector<LoggedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request_line, "GET /with.html HTTP/1.0");
  EXPECT_EQ(requests[0].user_agent, kTestFetchAgent);
  EXPECT_FALSE(work_.Exists("parsed_urls.txt"));
}

// ---- Runs that cannot fetch or cannot start ----

class CrawlFailures : public CrawlTest {};

TEST_F(CrawlFailures, MissingUserAgentFileRefusesToStart) {
  const NginxServer& server = Serve({{"index.html", NamedPage("home")}});

  const CliRun run = Run({"crawl", "--site", server.Url("/")});

  EXPECT_NE(run.exit_code, 0);
  EXPECT_THAT(run.err, HasSubstr("Cannot open file \"UA.txt\". "));
  EXPECT_THAT(server.Requests(), IsEmpty());
}

TEST_F(CrawlFailures, UserAgentFileWithoutALineStartsNoWorker) {
  const NginxServer& server = Serve({{"index.html", NamedPage("home")}});
  WriteUserAgents("");

  const CliRun run = Run({"crawl", "--site", server.Url("/")});

  EXPECT_NE(run.exit_code, 0);
  EXPECT_THAT(run.err, HasSubstr("List index out of bounds"));
  EXPECT_THAT(server.Requests(), IsEmpty());
}

TEST_F(CrawlFailures, MissingProxyFileRefusesToStartAProxiedRun) {
  const NginxServer& server = Serve({{"index.html", NamedPage("home")}});
  WriteUserAgents();

  const CliRun run = Run({"crawl", "--site", server.Url("/"), "--proxy"});

  EXPECT_NE(run.exit_code, 0);
  EXPECT_THAT(run.err, HasSubstr("Cannot open file \"proxy.txt\". "));
  EXPECT_THAT(server.Requests(), IsEmpty());
}

TEST_F(CrawlFailures, RefusedConnectionEndsTheWorkerAndTheRun) {
  ASSERT_FALSE(Accepts(kNobodyAddress, 80)) << "something listens on " << kNobodyAddress;
  WriteUserAgents();

  EXPECT_THAT(Crawl({"--site", "http://127.0.0.9/", "--ignore-whitelist"}, 3),
              HasSubstr("\nkorvane-cli: no page could be fetched: 1 connection refused\n"));

  EXPECT_EQ(SeenUrls(), CrLf({"http://127.0.0.9/"}));
  // The empty answer is admitted and has no text.
  EXPECT_THAT(ResultFiles(), ElementsAre("0.txt"));
  EXPECT_EQ(Result(0), "");
}

// ---- Requests through a proxy ----

class ProxyCrawl : public CrawlTest {
 protected:
  NginxServer& ServeProxiedSite() {
    return Serve({{"index.html", NamedPage("home", {"/p1.html", "/p2.html"})},
                  {"p1.html", NamedPage("p1")},
                  {"p2.html", NamedPage("p2")}},
                 kProxiedAddress);
  }
};

TEST_F(ProxyCrawl, FirstRequestGoesDirectAndLaterOnesThroughTheProxy) {
  const TinyProxy proxy;
  const NginxServer& server = ServeProxiedSite();
  work_.Write("proxy.txt", proxy.ProxyLine() + "\r\n");
  WriteUserAgents();

  Crawl({"--site", server.Url("/"), "--threads", "1", "--proxy", "--ignore-whitelist"});

  const std::vector<LoggedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].request_line, "GET / HTTP/1.0");
  EXPECT_EQ(requests[0].host, "127.0.0.4");
  EXPECT_EQ(requests[0].via, "-");
  EXPECT_EQ(requests[0].user_agent, kAgent);
  for (size_t i = 1; i < requests.size(); ++i) {
    EXPECT_THAT(requests[i].via, HasSubstr("korvane-proxy")) << requests[i].request_line;
    EXPECT_EQ(requests[i].host, "127.0.0.4");
    EXPECT_EQ(requests[i].user_agent, kAgent);
  }
  EXPECT_EQ(requests[1].Path(), "/p1.html");
  EXPECT_EQ(requests[2].Path(), "/p2.html");
  EXPECT_EQ(Result(1), NamedPageText("p1"));
  EXPECT_EQ(Result(2), NamedPageText("p2"));
}

TEST_F(ProxyCrawl, ProxyLineWithoutPortFailsItsWorkersWithoutHangingTheRun) {
  const NginxServer& server = ServeProxiedSite();
  work_.Write("proxy.txt", "127.0.0.1\r\n");
  WriteUserAgents();

  Crawl({"--site", server.Url("/"), "--threads", "2", "--proxy", "--ignore-whitelist"});

  EXPECT_THAT(server.RequestedPaths(), ElementsAre("/"));
  EXPECT_EQ(SeenUrls(),
            CrLf({"http://127.0.0.4/", "http://127.0.0.4/p1.html", "http://127.0.0.4/p2.html"}));
  EXPECT_THAT(ResultFiles(), ElementsAre("0.txt"));
}

}  // namespace
}  // namespace korvane::testing
