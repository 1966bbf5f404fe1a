// The link rules, the anchor scan, anchor normalisation, the blacklist and page folders.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "policy/links.h"
#include "policy/links_reference.h"

namespace korvane {
namespace {

using Links = std::vector<std::string>;

constexpr std::string_view kUrl = "http://site.ru/dir/page.html";
constexpr std::string_view kHost = "site.ru";

// One page scanned with the usual site settings, adjusted per case.
struct Case {
  std::string page;
  Links links;
  bool relative = false;
  bool exclude_subdomains = false;
  bool apostrophes = false;
  Lines blacklist = {};
  std::string_view url = kUrl;
  std::string_view host = kHost;
};

Links Scan(std::string_view page, std::string_view url, std::string_view host,
           const LinkOptions& options) {
  Links links;
  ExtractLinks(page, url, host, options, [&](const std::string& link) { links.push_back(link); });
  return links;
}

Links Scan(const Case& c) {
  LinkOptions options;
  options.apostrophes = c.apostrophes;
  options.exclude_subdomains = c.exclude_subdomains;
  options.relative = c.relative;
  options.site = "http://site.ru/";
  options.blacklist = &c.blacklist;
  return Scan(c.page, c.url, c.host, options);
}

void ExpectLinks(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(Scan(c), c.links) << testing::PrintToString(c.page);
}

TEST(LinkRules, PlainLinksResolveAgainstTheHostOrThePageFolder) {
  ExpectLinks({
      {.page = R"(<a href="/x.html">)", .links = {"http://site.ru/x.html"}},
      {.page = R"(<a href="/x.html">)", .links = {"http://site.ru/x.html"}, .relative = true},
      {.page = R"(<a href="x.html">)", .links = {"http://site.ru/x.html"}},
      {.page = R"(<a href="x.html">)", .links = {"http://site.ru/dir/x.html"}, .relative = true},
      {.page = R"(<a href="mailto:me@mail.org">)", .links = {"http://site.ru/mailto:me@mail.org"}},
      {.page = R"(<a href="HTTP://other.org/">)", .links = {"http://site.ru/HTTP://other.org/"}},
  });
}

TEST(LinkRules, DotSlashLinksResolveAgainstTheSite) {
  ExpectLinks({
      {.page = R"(<a href="./x.html">)", .links = {"http://site.ru/x.html"}},
      {.page = R"(<a href="./x.html">)", .links = {"http://site.ru/x.html"}, .relative = true},
      {.page = R"(<a href="../x.html">)", .links = {"http://site.ru/.x.html"}},
      {.page = R"(<a href="a/./b/./c">)", .links = {"http://site.ru/a/b/./c"}},
      // The "./" rule comes before the host rule.
      {.page = R"(<a href="http://site.ru/./x">)", .links = {"http://site.ru/http://site.ru/x"}},
  });
}

TEST(LinkRules, LinksHoldingTheHostStayAsWritten) {
  ExpectLinks({
      {.page = R"(<a href="http://site.ru/a">)", .links = {"http://site.ru/a"}},
      {.page = R"(<a href="http://sub.site.ru/">)", .links = {"http://sub.site.ru/"}},
      {.page = R"(<a href="http://sub.site.ru/">)", .links = {}, .exclude_subdomains = true},
      {.page = R"(<a href="http://site.ru/a">)",
       .links = {"http://site.ru/a"},
       .exclude_subdomains = true},
      {.page = R"(<a href="//site.ru/x">)", .links = {"//site.ru/x"}},
      {.page = R"(<a href="//site.ru/x">)", .links = {}, .exclude_subdomains = true},
      {.page = R"(<a href="hsite.ru">)", .links = {"hsite.ru"}},
  });
}

TEST(LinkRules, DropsFragmentsAndOtherSites) {
  ExpectLinks({
      {.page = R"(<a href="page.html#top">)", .links = {}},
      {.page = R"(<a href="#">)", .links = {}},
      {.page = R"(<a href="./a#b">)", .links = {}},
      {.page = R"(<a href="help.html">)", .links = {}},
      {.page = R"(<a href="help.html">)", .links = {}, .relative = true},
      {.page = R"(<a href="http://other.org/">)", .links = {}},
  });
}

TEST(LinkRules, EntitiesAndLineBreaksAreCleanedFromTheLink) {
  ExpectLinks({
      {.page = R"(<a href="http://site.ru/a?b=1&amp;c=2">)", .links = {"http://site.ru/a?b=1&c=2"}},
      {.page = R"(<a href="a&amp;amp;b">)", .links = {"http://site.ru/a&amp;b"}},
      {.page = "<a href=\"\t/a\r\nb\n\">", .links = {"http://site.ru/ab"}},
      // Removing the breaks can bring a "./" together.
      {.page = "<a href=\".\n/x\">", .links = {"http://site.ru/x"}},
  });
}

TEST(LinkRules, EmptyAnchorTextsReadAsZeroButBareBreaksAreDropped) {
  ExpectLinks({
      {.page = R"(<a href="">)", .links = {"http://site.ru/Zero"}},
      {.page = R"(<a href="">)", .links = {"http://site.ru/dir/Zero"}, .relative = true},
      {.page = "<a href=\"\r\n\"><a href=\"/next\">", .links = {"http://site.ru/next"}},
      {.page = "<a href=\"\t\">", .links = {}, .relative = true},
  });
}

TEST(LinkRules, AnEmptyHostNeverMatchesTheHostRule) {
  ExpectLinks({
      {.page = R"(<a href="x.html">)",
       .links = {"http:///x.html"},
       .url = "http://site.ru",
       .host = ""},
      {.page = R"(<a href="x.html">)",
       .links = {"http:///x.html"},
       .relative = true,
       .url = "http://site.ru",
       .host = ""},
      {.page = R"(<a href="/x"><a href="http://site.ru/y">)",
       .links = {"http:///x"},
       .url = "http://site.ru",
       .host = ""},
  });
}

TEST(Blacklist, DropsLinksHoldingANonEmptyLine) {
  ExpectLinks({
      {.page = R"(<a href="/a.jpg"><a href="/a.jpg.html"><a href="/a.JPG">)",
       .links = {"http://site.ru/a.JPG"},
       .blacklist = {".jpg"}},
      {.page = R"(<a href="/a"><a href="/b">)",
       .links = {"http://site.ru/a", "http://site.ru/b"},
       .blacklist = {"", ""}},
      {.page = R"(<a href="/a"><a href="/b">)",
       .links = {"http://site.ru/a"},
       .blacklist = {"", "b"}},
      // The test sees the finished link: its base and its decoded entities.
      {.page = R"(<a href="/a&amp;b">)", .links = {}, .blacklist = {"a&b"}},
      {.page = R"(<a href="/a">)", .links = {}, .blacklist = {"http://"}},
  });
  EXPECT_FALSE(IsBlacklisted("http://site.ru/a", {}));
  EXPECT_TRUE(IsBlacklisted("http://site.ru/a", {"x", "ru/"}));
}

TEST(LinkScan, FindsOnlyTheExactMarker) {
  ExpectLinks({
      {.page = R"(<a href='x.html'>)", .links = {}},
      {.page = R"(<a href='x.html'>)", .links = {"http://site.ru/x.html"}, .apostrophes = true},
      {.page = R"(<a HREF="x.html"><A href="x.html"><a  href="x.html"><a href=x.html>)",
       .links = {}},
      {.page = R"(<a class="c" href="x.html">)", .links = {}},
      {.page = "", .links = {}},
      {.page = R"(<a href="/a">text <a href="/b"> <a href="/a">)",
       .links = {"http://site.ru/a", "http://site.ru/b", "http://site.ru/a"}},
  });
}

TEST(LinkScan, ARemovedMarkerCanJoinTheTextAroundItIntoANewOne) {
  ExpectLinks({
      // The inner anchor reads "href=" and is dropped; its removal leaves <a href="x">.
      {.page = R"(<a <a href="href="x">)", .links = {"http://site.ru/x"}},
      {.page = R"(<a <a <a href="href="href="y">)", .links = {"http://site.ru/y"}},
      {.page = R"(<a <a href="/p">href="q">)", .links = {"http://site.ru/p"}},
      {.page = R"(<a href<a href="="z">)", .links = {"http://site.ru/=", "http://site.ru/z"}},
      {.page = R"(<<a href="a href="/w">)",
       .links = {"http://site.ru/a href=", "http://site.ru/w"}},
      {.page = R"(<a href=<a href=""v">)", .links = {"http://site.ru/Zero", "http://site.ru/v"}},
  });
}

TEST(LinkScan, AnAnchorWithoutAClosingQuoteTakesTheRestOfThePage) {
  ExpectLinks({
      {.page = R"(<a href="abc)", .links = {"http://site.ru/abc"}},
      {.page = "<a href=\"/a> b\r\nc", .links = {"http://site.ru/a> bc"}},
      {.page = R"(" <a href="tail)", .links = {"http://site.ru/tail"}},
      {.page = R"(<a href=")", .links = {"http://site.ru/Zero"}},
      {.page = R"(<a href="/a"<a href=")", .links = {"http://site.ru/a", "http://site.ru/Zero"}},
  });
}

TEST(AnchorNormalisation, RewritesTagsCarryingTheFirstAnchorsAttributes) {
  struct Normalised {
    std::string page;
    std::string expected;
  };
  const Normalised cases[] = {
      {R"(<A HREF="x">)", R"(<a HREF="x">)"},
      {R"(<a class="m" href="/p"><a class="m" href="/q"><a id="k" href="/r">)",
       R"(<a href="/p"><a href="/q"><a id="k" href="/r">)"},
      {R"(<A class="m" href="/p"><a class="m" href="/q">)", R"(<a href="/p"><a href="/q">)"},
      {R"(<a href="/p"><a  href="/q"><A  href="/r">)",
       R"(<a href="/p"><a  href="/q"><a  href="/r">)"},
      {R"(<a  href="/p"><a  href="/q"><a href="/r">)",
       R"(<a href="/p"><a href="/q"><a href="/r">)"},
      // Nothing between "<a" and "href=" reads as "Zero", and that word becomes the pattern.
      {R"(<ahref="/p"><aZerohref="/q">)", R"(<ahref="/p"><a href="/q">)"},
      {R"(<a>no link)", R"(<a>no link)"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalizeAnchors(c.page), c.expected) << c.page;
}

TEST(AnchorNormalisation, LetsTheScanFindRewrittenAnchors) {
  const std::string page = R"(<a  href="/a"><A  href="/b"><a HREF="/c"><a href=/d>)";
  ExpectLinks(
      {{.page = NormalizeAnchors(page), .links = {"http://site.ru/a", "http://site.ru/b"}}});
}

TEST(UrlDirectory, CutsTheAddressToItsFolder) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"http://H/a/b.html", "http://H/a/"},
      {"http://H/dir/page.html", "http://H/dir/"},
      {"http://H/a/b/", "http://H/a/b/"},
      {"http://H/", "http://H/"},
      {"http://H", "http:///"},
      {"http://H:8080/x", "http://H:8080/"},
      {"http://H/a:b", "http://H/a:/"},
      {"http://H//x", "http://H///"},
      {"x/y", "x/"},
      {"", "/"},
  };
  for (const auto& [url, folder] : cases) EXPECT_EQ(UrlDirectory(url), folder) << url;
}

TEST(LinkScan, MatchesTheLiteralReadingOnRandomPages) {
  // Whole markers, and the pieces a marker splits into, so that removals often join one.
  std::vector<std::string> pieces = {
      "<a href=\"", "<a href=\"", "<a href=\"",  "<a ", "<a h",  "<a href", "href=\"", "ref=\"",
      "=\"",        "\"",         "\"",          "'",   "#",     "./",      ".",       "/",
      "h",          "http://H/",  "http://s.H/", "H",   "&amp;", "&",       "\t",      "\r",
      "\n",         "x",          "y",           " ",   "<",     "Zero"};
  // A marker cut at every point with a whole one in the cut: "<a <a href=\"href=\"".
  const std::string marker = "<a href=\"";
  for (size_t cut = 1; cut < marker.size(); ++cut) {
    pieces.push_back(marker.substr(0, cut) + marker + marker.substr(cut));
  }
  pieces.push_back("<a <a <a href=\"href=\"href=\"");
  const std::vector<std::string> urls = {"http://H/d/p.html", "http://H", "http://H/", "x"};
  const std::vector<std::string> hosts = {"H", "", "s.H", "x"};
  const std::vector<std::string> sites = {"http://H/", "", "S/"};
  const std::vector<Lines> blacklists = {{}, {"x"}, {"", "y"}, {"Zero", "&"}, {"/H", "'"}};

  std::mt19937 random(20240607);
  auto pick = [&random](const auto& from) -> const auto& {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
  };
  int joined_pages = 0;
  for (int round = 0; round < 100000; ++round) {
    std::string page;
    const int length = std::uniform_int_distribution<int>(0, 40)(random);
    for (int i = 0; i < length; ++i) page += pick(pieces);
    LinkOptions options;
    options.apostrophes = random() % 2;
    options.exclude_subdomains = random() % 2;
    options.relative = random() % 2;
    options.site = pick(sites);
    options.blacklist = &pick(blacklists);
    const std::string& url = pick(urls);
    const std::string& host = pick(hosts);

    bool joined = false;
    const Links expected = reference::ExtractLinks(page, url, host, options, &joined);
    ASSERT_EQ(Scan(page, url, host, options), expected)
        << "round " << round << " page " << testing::PrintToString(page);
    joined_pages += joined;
  }
  // The pages must exercise markers made by a removal, the case the fast scan handles apart.
  EXPECT_GT(joined_pages, 10000);
}

}  // namespace
}  // namespace korvane
