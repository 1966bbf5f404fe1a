// Addresses with and without the https extension, and the link rules on an https page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/address.h"
#include "policy/links.h"

namespace korvane {
namespace {

TEST(SplitUrl, OffIsTheDesignSplitAndOnAddsHttpsAndPorts) {
  struct Case {
    const char* url;
    bool on;
    const char* scheme;
    const char* host;
    const char* name;
    uint16_t port;
    const char* path;
  };
  const Case cases[] = {
      {"http://h.ru/a?b", false, "http://", "h.ru", "h.ru", 80, "/a?b"},
      {"http://h.ru:8080/a", false, "http://", "h.ru:8080", "h.ru:8080", 80, "/a"},
      {"https://h.ru/a", false, "http://", "https:", "https:", 80, "//h.ru/a"},
      {"http://h.ru", false, "http://", "", "", 80, "h.ru"},
      {"http://h.ru/a?b", true, "http://", "h.ru", "h.ru", 80, "/a?b"},
      {"http://h.ru:8080/a", true, "http://", "h.ru:8080", "h.ru", 8080, "/a"},
      {"https://h.ru/a", true, "https://", "h.ru", "h.ru", 443, "/a"},
      {"https://h.ru:8443/", true, "https://", "h.ru:8443", "h.ru", 8443, "/"},
      {"https://h.ru", true, "https://", "", "", 443, "h.ru"},
      {"https://h.ru:99999/a", true, "https://", "h.ru:99999", "h.ru", 0, "/a"},
      {"http://h.ru:x/a", true, "http://", "h.ru:x", "h.ru", 0, "/a"},
      {"http://h.ru:/a", true, "http://", "h.ru:", "h.ru", 0, "/a"},
      {"xhttps://h.ru/a", true, "http://", "xhttps:", "xhttps", 0, "//h.ru/a"},
  };
  for (const Case& c : cases) {
    const UrlTarget target = SplitUrl(c.url, c.on);
    const std::string label = std::string(c.url) + (c.on ? " on" : " off");
    EXPECT_EQ(target.scheme, c.scheme) << label;
    EXPECT_EQ(target.tls, std::string(c.scheme) == "https://") << label;
    EXPECT_EQ(target.host, c.host) << label;
    EXPECT_EQ(target.name, c.name) << label;
    EXPECT_EQ(target.port, c.port) << label;
    EXPECT_EQ(target.path, c.path) << label;
  }
}

TEST(SchemeLinks, LinksOfAnHttpsPageKeepItsSchemeAndPort) {
  struct Case {
    const char* href;
    bool relative;
    bool exclude_subdomains;
    const char* link;  // "" when dropped
  };
  const Case cases[] = {
      {"/x.html", false, false, "https://h.ru:8443/x.html"},
      {"x.html", false, false, "https://h.ru:8443/x.html"},
      {"x.html", true, false, "https://h.ru:8443/dir/x.html"},
      {"./x.html", false, false, "http://h.ru/x.html"},  // the start address stays the base
      {"https://h.ru:8443/y", true, true, "https://h.ru:8443/y"},
      {"http://h.ru:8443/y", false, true, ""},  // not the page's scheme
      {"https://h.ru/y", false, false, ""},     // another port is another site
  };
  LinkOptions options;
  options.site = "http://h.ru/";
  options.scheme = "https://";
  for (const Case& c : cases) {
    options.relative = c.relative;
    options.exclude_subdomains = c.exclude_subdomains;
    std::vector<std::string> links;
    ExtractLinks("<a href=\"" + std::string(c.href) + "\">", "https://h.ru:8443/dir/p.html",
                 "h.ru:8443", options, [&](const std::string& link) { links.push_back(link); });
    EXPECT_EQ(links, c.link[0] ? std::vector<std::string>{c.link} : std::vector<std::string>{})
        << c.href;
    EXPECT_EQ(BuildLink(c.href, "https://h.ru:8443/dir/p.html", "h.ru:8443", options),
              c.link[0] ? std::optional<std::string>(c.link) : std::nullopt)
        << c.href;
  }
}

TEST(SchemeLinks, ARedirectTargetPassesTheRulesAndTheBlacklist) {
  const Lines blacklist = {"/private/"};
  LinkOptions options;
  options.blacklist = &blacklist;
  EXPECT_EQ(BuildLink("https://h.ru/a?b=1&amp;c=2", "http://h.ru/", "h.ru", options),
            "https://h.ru/a?b=1&c=2");
  EXPECT_EQ(BuildLink("/moved\r\n", "http://h.ru/", "h.ru", options), "http://h.ru/moved");
  EXPECT_EQ(BuildLink("/private/x", "http://h.ru/", "h.ru", options), std::nullopt);
  EXPECT_EQ(BuildLink("https://elsewhere.org/", "http://h.ru/", "h.ru", options), std::nullopt);
  EXPECT_EQ(BuildLink("/a#b", "http://h.ru/", "h.ru", options), std::nullopt);
}

}  // namespace
}  // namespace korvane
