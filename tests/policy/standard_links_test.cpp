// Links read as a browser reads them: one anchor (or tag) on a page at an address, and the
// address the step keeps, a case per rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "policy/standard_links.h"

namespace korvane {
namespace {

struct Case {
  const char* base;  // the page's address
  const char* tags;  // the page's body
  std::vector<std::string> links;
  bool https = false;
  bool exclude_subdomains = false;
  bool skip_nofollow = false;
};

TEST(StandardLinks, ResolveNormaliseAndKeepSiteAddressesAsBrowsersDo) {
  const Lines blacklist = {".jpg"};
  const Case cases[] = {
      // Bases with and without a trailing slash, and dot segments above the root.
      {"http://h/d/", "<a href=x.html>", {"http://h/d/x.html"}},
      {"http://h/d", "<a href=x.html>", {"http://h/x.html"}},
      {"http://h/d/p.html", "<a href='../../../x.html'>", {"http://h/x.html"}},
      {"http://h/d/p.html", "<a href=\"./a/./b/../c\">", {"http://h/d/a/c"}},
      {"http://h/d/p.html",
       "<a href=help.html><a href=//h/e>",
       {"http://h/d/help.html", "http://h/e"}},
      // Any letter case, quoting and attribute order; a, area, frame, iframe, refresh.
      {"http://h/",
       "<A class=m HREF = \"/a\"><AREA href=/b><iframe src=/c><frame src=/d>",
       {"http://h/a", "http://h/b", "http://h/c", "http://h/d"}},
      {"http://h/", "<meta http-equiv=REFRESH content=\"5; URL='/n'\">", {"http://h/n"}},
      // <base> sets the base, also for links before it; to another site, links leave the site.
      {"http://h/d/p", "<a href=x><base href=/b/>", {"http://h/b/x"}},
      {"http://h/d/p", "<base href=http://o/><a href=x>", {}},
      // Entities decoded, breaks and surrounding blanks gone, fragments dropped.
      {"http://h/", "<a href=\" /a?b=1&amp;c=2\t\n\">", {"http://h/a?b=1&c=2"}},
      {"http://h/d/p",
       "<a href=\"#top\"><a href=\"q#x\"><a href=\"\">",
       {"http://h/d/p", "http://h/d/q", "http://h/d/p"}},
      // Schemes: only http and https (the latter with --https), lower-cased.
      {"http://h/",
       "<a href=mailto:a@h><a href=javascript:go()><a href=tel:1><a href=data:,x>",
       {}},
      {"http://h/", "<a href=HTTP://H/A><a href=https://h/s>", {"http://h/A"}},
      {"http://h/", "<a href=https://h/s>", {"https://h/s"}, true},
      // Ports: the default dropped, another port is another site.
      {"http://h/", "<a href=http://h:80/a><a href=http://h:8080/b>", {"http://h/a"}},
      {"https://h/", "<a href=https://h:443/a>", {"https://h/a"}, true},
      // Percent-encoding: upper-case hex, unreserved decoded, unsafe bytes encoded; the
      // query as written.
      {"http://h/", "<a href=\"/%7e%2f%41 b\xE9|?q=%7e \">", {"http://h/~%2FA%20b%E9%7C?q=%7e"}},
      {"http://h/", "<a href=\"/a%zz\\b\">", {"http://h/a%25zz/b"}},
      // Subdomains belong to the site unless excluded; the host's case does not matter.
      {"http://h/", "<a href=http://Sub.H/x><a href=http://xh/>", {"http://sub.h/x"}},
      {"http://h/", "<a href=http://sub.h/x>", {}, false, true},
      // Hosts with non-ASCII letters stay as written and are another site here.
      {"http://h/", "<a href=\"http://\xD0\xBF.h/\">", {"http://\xD0\xBF.h/"}},
      // The blacklist, nofollow with --robots, unparsable addresses.
      {"http://h/", "<a href=/a.jpg><a rel=\"ugc NoFollow\" href=/n>", {"http://h/n"}},
      {"http://h/", "<a rel=nofollow href=/n>", {}, false, false, true},
      {"http://h/", "<a href=\"http://[::1\"><a href=\"http://u@h/\">", {}},
  };
  for (const Case& c : cases) {
    StandardLinks step({"http://h/", c.https, c.exclude_subdomains, c.skip_nofollow, &blacklist});
    std::vector<std::string> links;
    step.Extract(std::string("HTTP/1.1 200 OK\r\n\r\n") + c.tags, c.base,
                 [&](std::string link) { links.push_back(std::move(link)); });
    EXPECT_EQ(links, c.links) << c.base << " " << c.tags;
  }
}

TEST(StandardLinks, AnyBytesGiveSafeAddressesWithinTheBounds) {
  std::string bytes = "<a href=\"/" + std::string(100'000, 'x') + "\">";
  for (int c = 255; c >= 0; --c) bytes += "<a href=\"/" + std::string(1, char(c)) + "\">";
  std::string many;
  for (size_t i = 0; i <= kMostPageReferences; ++i) many += "<a href=/y>";
  for (const std::string* page_of : {&bytes, &many}) {
    const std::string& page = *page_of;
    StandardLinks step({"http://h/", false, false, false, nullptr});
    size_t kept = 0;
    step.Extract(page, "http://h/", [&](const std::string& link) {
      ++kept;
      EXPECT_EQ(link.find_first_of(std::string_view(" \"<>\\\x7F\x80\xFF\0", 9)), std::string::npos)
          << link;
    });
    EXPECT_LE(kept, kMostPageReferences);
    // The 100 KB href and "//" and "/\\", which name no host; the 100,001st anchor.
    EXPECT_EQ(step.Unparsable() + step.Cut(), &page == &bytes ? 3u : 1u);
  }
}

}  // namespace
}  // namespace korvane
