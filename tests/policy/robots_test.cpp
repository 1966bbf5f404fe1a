// robots.txt: group choice, longest match, wildcards, percent-encoding, delays and answers,
// checked against the examples of RFC 9309.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "policy/robots.h"

namespace korvane {
namespace {

// RFC 9309, 5.1.
constexpr std::string_view kSimpleExample =
    "User-Agent: *\n"
    "Disallow: *.gif$\n"
    "Disallow: /example/\n"
    "Allow: /publications/\n"
    "\n"
    "User-Agent: foobot\n"
    "Disallow:/\n"
    "Allow:/example/page.html\n"
    "Allow:/example/allowed.gif\n"
    "\n"
    "User-Agent: barbot\n"
    "User-Agent: bazbot\n"
    "Disallow: /example/page.html\n"
    "\n"
    "User-Agent: quxbot\n"
    "\n"
    "EOF\n";

// RFC 9309, 5.2.
constexpr std::string_view kLongestMatchExample =
    "User-Agent: foobot\n"
    "Allow: /example/page/\n"
    "Disallow: /example/page/disallowed.gif\n";

struct MatchCase {
  std::string_view robots;
  std::string_view token;
  std::string_view path;
  bool allowed;
};

TEST(RobotsMatch, FollowsTheRfcExamples) {
  const MatchCase cases[] = {
      // 5.1: each crawler gets its own group, merged over its "User-agent:" lines.
      {kSimpleExample, "foobot", "/example/page.html", true},
      {kSimpleExample, "foobot", "/example/allowed.gif", true},
      {kSimpleExample, "foobot", "/example/other.html", false},
      {kSimpleExample, "foobot", "/", false},
      {kSimpleExample, "FooBot", "/publications/", false},  // tokens ignore letter case
      {kSimpleExample, "barbot", "/example/page.html", false},
      {kSimpleExample, "bazbot", "/example/page.html", false},
      {kSimpleExample, "bazbot", "/example/other.html", true},
      {kSimpleExample, "quxbot", "/example/page.gif", true},  // an empty group allows all
      {kSimpleExample, "korvane", "/example/page.html", false},
      {kSimpleExample, "korvane", "/pics/cat.gif", false},
      {kSimpleExample, "korvane", "/pics/cat.gif?x=1", true},  // "$" ends the path
      {kSimpleExample, "korvane", "/publications/", true},
      {kSimpleExample, "korvane", "/robots.txt", true},
      // 5.2: the longest match wins.
      {kLongestMatchExample, "foobot", "/example/page/", true},
      {kLongestMatchExample, "foobot", "/example/page/x.html", true},
      {kLongestMatchExample, "foobot", "/example/page/disallowed.gif", false},
      // 2.2.1: the product token is the leading name of a "User-agent:" value.
      {"User-agent: Korvane/1.0\nDisallow: /k\nUser-agent: *\nDisallow: /\n", "korvane", "/a",
       true},
      {"User-agent: KorvaneBot\nDisallow: /\n", "korvane", "/a", true},
      // 2.2.1: groups naming the crawler are merged, rules before any group are ignored.
      {"Disallow: /x\nuser-agent: korvane\ndisallow: /foo\n\nuser-agent: korvane\n"
       "disallow: /baz\n",
       "korvane", "/baz/1", false},
      {"Disallow: /x\nuser-agent: korvane\ndisallow: /foo\n", "korvane", "/x", true},
      // 2.2.2: an Allow and a Disallow of equal length: the Allow wins; an empty rule names
      // nothing.
      {"User-agent: *\nDisallow: /page\nAllow: /page\n", "korvane", "/page", true},
      {"User-agent: *\nDisallow:\n", "korvane", "/page", true},
      // 2.2.3: "#" comments, "*" wildcards, "$" anchors.
      {"User-agent: * # everyone\nallow: / # comment in line\n# comment on its own line\n"
       "Disallow: /this/*/exactly$\n",
       "korvane", "/this/any/thing/exactly", false},
      {"User-agent: *\nDisallow: /this/*/exactly$\n", "korvane", "/this/x/exactly/not", true},
      {"User-agent: *\nDisallow: /this/path/exactly$\n", "korvane", "/this/path/exactly", false},
      {"User-agent: *\nDisallow: /**a*b*c\n", "korvane", "/xaxbxc/d", false},
      // 2.2.2: percent-encoding.
      {"User-agent: *\nDisallow: /foo/bar?baz=https://foo.bar\n", "korvane",
       "/foo/bar?baz=https%3A%2F%2Ffoo.bar", false},
      {"User-agent: *\nDisallow: /foo/bar/\xE3\x83\x84\n", "korvane", "/foo/bar/%E3%83%84", false},
      {"User-agent: *\nDisallow: /foo/bar/%E3%83%84\n", "korvane", "/foo/bar/\xE3\x83\x84", false},
      {"User-agent: *\nDisallow: /foo/bar/%62%61%7A\n", "korvane", "/foo/bar/baz", false},
      {"User-agent: *\nDisallow: /a%2fb\n", "korvane", "/a%2Fb", false},
      {"User-agent: *\nDisallow: /a%2Fb\n", "korvane", "/a/b", true},  // "/" is reserved
      // 2.2.3: special characters matched literally through their codes.
      {"User-agent: *\nDisallow: /path/file-with-a-%2A.html\n", "korvane",
       "/path/file-with-a-*.html", false},
      {"User-agent: *\nDisallow: /path/foo-%24\n", "korvane", "/path/foo-$", false},
      {"User-agent: *\nDisallow: /path/foo-%24\n", "korvane", "/path/foo-", true},
      // 2.2.1: no group for the crawler and no "*" group: nothing applies.
      {"User-agent: other\nDisallow: /\n", "korvane", "/a", true},
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(RobotsRules::Parse(c.robots, c.token).Allows(c.path), c.allowed)
        << c.token << " " << c.path << "\n"
        << c.robots;
  }
}

// The pattern reading step by step: "*" tries every length, a final "$" needs the end.
bool ReferenceFullMatch(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) return text.empty();
  if (pattern == "$") return text.empty();
  if (pattern[0] == '*') {
    return ReferenceFullMatch(pattern.substr(1), text) ||
           (!text.empty() && ReferenceFullMatch(pattern, text.substr(1)));
  }
  return !text.empty() && pattern[0] == text[0] &&
         ReferenceFullMatch(pattern.substr(1), text.substr(1));
}

bool ReferenceMatch(std::string_view pattern, std::string_view text) {
  for (size_t length = 0; length <= text.size(); ++length) {
    if (ReferenceFullMatch(pattern, text.substr(0, length)) &&
        (length == text.size() || !pattern.ends_with('$'))) {
      return true;
    }
  }
  return false;
}

TEST(RobotsMatch, WildcardsAgreeWithTheStepByStepReading) {
  std::mt19937 random(20261209);
  for (int i = 0; i < 5000; ++i) {
    std::string pattern = "/", path = "/";
    for (uint32_t n = random() % 7; n > 0; --n) pattern += "ab*"[random() % 3];
    if (random() % 3 == 0) pattern += '$';
    for (uint32_t n = random() % 9; n > 0; --n) path += "ab"[random() % 2];
    const RobotsRules rules = RobotsRules::Parse("User-agent: *\nDisallow: " + pattern + "\n");
    EXPECT_EQ(!rules.Allows(path), ReferenceMatch(pattern, path)) << pattern << " " << path;
  }
}

TEST(RobotsDelay, TakesTheLargestCrawlDelayOfTheChosenGroups) {
  const struct {
    std::string_view robots;
    int64_t delay_ms;
  } cases[] = {
      {"User-agent: *\nCrawl-delay: 2\n", 2000},
      {"User-agent: *\ncrawl-delay: 0.25\nUser-agent: korvane\nCrawl-delay: 1.5\n", 1500},
      {"User-agent: korvane\nCrawl-delay: 1\nUser-agent: korvane\nCrawl-delay: 3\n", 3000},
      {"User-agent: *\nCrawl-delay: 9\nUser-agent: korvane\nDisallow: /x\n", 0},
      {"User-agent: *\nCrawl-delay: soon\n", 0},
      {"User-agent: *\nCrawl-delay: 99999999999\n", kMaxCrawlDelayMs},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RobotsRules::Parse(c.robots).CrawlDelayMs(), c.delay_ms) << c.robots;
  }
}

TEST(RobotsAnswer, ServerErrorsDisallowAndEverythingElseButSuccessAllows) {
  const struct {
    std::string_view answer;
    bool root_allowed;
    bool private_allowed;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nUser-agent: *\r\nDisallow: /p\r\n", true,
       false},
      {"HTTP/1.0 200 OK\n\nUser-agent: *\nDisallow: /p\n", true, false},
      {"HTTP/1.1 404 Not Found\r\n\r\nUser-agent: *\r\nDisallow: /\r\n", true, true},
      {"HTTP/1.1 503 Service Unavailable\r\n\r\n", false, false},
      {"HTTP/1.1 301 Moved\r\nLocation: /elsewhere\r\n\r\n", true, true},
      {"", true, true},                              // a failed fetch
      {"User-agent: *\nDisallow: /\n", true, true},  // no status line
  };
  for (const auto& c : cases) {
    const RobotsRules rules = RulesFromRobotsAnswer(c.answer);
    EXPECT_EQ(rules.Allows("/"), c.root_allowed) << c.answer;
    EXPECT_EQ(rules.Allows("/private"), c.private_allowed) << c.answer;
    EXPECT_TRUE(rules.Allows("/robots.txt")) << c.answer;
  }
}

TEST(RobotsSite, RulesCoverOnlyTheStartHost) {
  const RobotsRules rules = RobotsRules::Parse("User-agent: *\nDisallow: /p\n");
  const SiteRobots robots{"h.ru", false, rules};
  EXPECT_FALSE(robots.Allows("http://h.ru/p/1.html"));
  EXPECT_FALSE(robots.Allows("http://H.RU/p"));
  EXPECT_TRUE(robots.Allows("http://h.ru/q"));
  EXPECT_TRUE(robots.Allows("http://sub.h.ru/p"));
  EXPECT_EQ(RobotsUrl("http://h.ru/a/b.html", false), "http://h.ru/robots.txt");
  EXPECT_EQ(RobotsUrl("http://h.ru/", false), "http://h.ru/robots.txt");
  EXPECT_EQ(RobotsUrl("http://h.ru", false), "");
  // With https and ports, the host keeps its port and the scheme its "s".
  const SiteRobots tls{"h.ru:8443", true, rules};
  EXPECT_FALSE(tls.Allows("https://h.ru:8443/p/1.html"));
  EXPECT_TRUE(tls.Allows("https://h.ru:8443/q"));
  EXPECT_TRUE(tls.Allows("https://h.ru/p"));
  EXPECT_EQ(RobotsUrl("https://h.ru:8443/a/b.html", true), "https://h.ru:8443/robots.txt");
}

}  // namespace
}  // namespace korvane
