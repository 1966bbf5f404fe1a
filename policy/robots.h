// robots.txt: the parser, the rules that apply to this crawler, and the address matcher.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// The product token this crawler looks for in "User-agent:" lines.
inline constexpr std::string_view kRobotsProductToken = "korvane";

// Crawl-delay values above this are taken as this (one day), so no file can make a pause
// overflow.
inline constexpr int64_t kMaxCrawlDelayMs = 86'400'000;

// The Allow and Disallow rules of the group that applies to one crawler.
class RobotsRules {
 public:
  // No rules: every path is allowed.
  RobotsRules() = default;
  // Every path but "/robots.txt" is disallowed (a server error answered the fetch).
  [[nodiscard]] static RobotsRules DisallowAll();

  // Parses a robots.txt body. The groups whose "User-agent:" value begins with `token`
  // (letters, "_" and "-", case ignored) apply, all of them merged; when there is none, the
  // groups of "User-agent: *"; when there is none of those either, no rule applies. A group
  // is a run of "User-agent:" lines and the rules after them, up to the next "User-agent:"
  // line that follows a rule. Keys ignore letter case, "#" starts a comment, unknown keys
  // and lines without ":" are skipped, and only the first 500 KiB are read.
  //   "User-agent: *\nDisallow: /private/"  -> "/private/a" disallowed, "/public" allowed
  [[nodiscard]] static RobotsRules Parse(std::string_view text,
                                         std::string_view token = kRobotsProductToken);

  // Whether `path` (the address after its host, query included: "/a/b?c=d") may be
  // fetched. The rule with the longest pattern that matches the path from its start wins, an
  // Allow winning a tie; no matching rule allows. "*" in a pattern matches any run of bytes
  // and a final "$" the end of the path. Both sides are compared percent-normalised (see
  // NormalizeRobotsPath). "/robots.txt" is always allowed.
  //   Allow "/p", Disallow "/"      -> "/page" allowed, "/x" disallowed
  //   Disallow "/*.gif$"            -> "/a.gif" disallowed, "/a.gif?x" allowed
  [[nodiscard]] bool Allows(std::string_view path) const;

  // The group's largest "Crawl-delay:" in milliseconds (seconds, fractions allowed, in the
  // file), at most kMaxCrawlDelayMs; 0 when there is none.
  [[nodiscard]] int64_t CrawlDelayMs() const { return crawl_delay_ms_; }
  [[nodiscard]] size_t RuleCount() const { return rules_.size(); }

 private:
  struct Rule {
    // The percent-normalised pattern without its final '$', cut at its '*'s.
    std::vector<std::string> pieces;
    bool anchored;  // the pattern ended in '$'
    size_t length;  // octets of the normalised pattern as written, '$' included
    bool allow;
  };

  std::vector<Rule> rules_;
  int64_t crawl_delay_ms_ = 0;
};

// The text a path is compared in: bytes outside printable ASCII become "%XX"; "%XX" of an
// unreserved character ("A-Z a-z 0-9 - . _ ~") becomes that character, any other "%xx" is
// kept with upper-case digits, and a "%" without two hex digits becomes "%25"; in the query
// (after the first "?") ":", "/", "?" and "@" become "%3A", "%2F", "%3F" and "%40". In a path
// (`pattern` false) "*" and "$" become "%2A" and "%24", so a rule written with those codes
// matches them literally.
//   "/foo/bar/%62%61%7A" -> "/foo/bar/baz";  "/a?u=https://b" -> "/a?u=https%3A%2F%2Fb"
[[nodiscard]] std::string NormalizeRobotsPath(std::string_view text, bool pattern = false);

// The rules for a fetched robots.txt answer (status line, headers and body as received):
// a 2xx answer's body is parsed; a 5xx answer disallows everything; a 4xx answer, any
// other status and an answer without an HTTP status line (a failed fetch) allow everything.
[[nodiscard]] RobotsRules RulesFromRobotsAnswer(std::string_view answer,
                                                std::string_view token = kRobotsProductToken);

// The address of the site's robots.txt: the site's scheme and host (split as a fetch splits
// it, with or without the https and ports option), then "/robots.txt"; "" when the site has
// no host.
//   "http://h.ru/a/b.html" -> "http://h.ru/robots.txt";  "http://h.ru" -> ""
//   (https_ports) "https://h.ru:8443/a" -> "https://h.ru:8443/robots.txt"
[[nodiscard]] std::string RobotsUrl(std::string_view site, bool https_ports);

// robots.txt rules bound to the host they came from.
struct SiteRobots {
  std::string host;          // the start address's host text, a ":port" included
  bool https_ports = false;  // how addresses are split, as for their fetch
  RobotsRules rules;

  // Whether `url` may be fetched: addresses on other hosts are not covered by these rules
  // and are allowed; on `host` (letter case ignored) the rules decide for the url's path.
  [[nodiscard]] bool Allows(std::string_view url) const;
};

}  // namespace korvane
