// robots.txt parsing and matching.
#include "policy/robots.h"

#include <algorithm>
#include <cmath>

#include "base/strings.h"
#include "base/text_lines.h"
#include "net/address.h"
#include "net/fetcher.h"
#include "net/http_answer.h"

namespace korvane {
namespace {

// A longer file is read only this far: enough for any real file, and a bound on the work.
constexpr size_t kMaxRobotsBytes = 500 * 1024;

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

void AppendEscaped(std::string& out, unsigned char c) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  out += '%';
  out += kDigits[c >> 4];
  out += kDigits[c & 15];
}

// The literal pieces of a pattern between its "*"s: "/a*b*" -> {"/a", "b", ""}.
std::vector<std::string> SplitAtStars(std::string_view pattern) {
  std::vector<std::string> pieces;
  for (;;) {
    const size_t star = pattern.find('*');
    pieces.emplace_back(pattern.substr(0, star));
    if (star == std::string_view::npos) return pieces;
    pattern.remove_prefix(star + 1);
  }
}

// Whether the pattern made of `pieces` joined by "*" matches the start of `text` (all of
// it when `anchored`). The first piece must begin the text; each later one is taken at its
// leftmost place after the one before, which leaves the most room for the rest, so one pass
// over the text decides and no pattern can make the matcher back-track.
bool PiecesMatch(const std::vector<std::string>& pieces, bool anchored, std::string_view text) {
  if (!text.starts_with(pieces.front())) return false;
  if (pieces.size() == 1) return !anchored || text.size() == pieces.front().size();
  size_t at = pieces.front().size();
  for (size_t i = 1; i + 1 < pieces.size(); ++i) {
    at = text.find(pieces[i], at);
    if (at == std::string_view::npos) return false;
    at += pieces[i].size();
  }
  const std::string& last = pieces.back();
  if (!anchored) return text.find(last, at) != std::string_view::npos;
  return text.size() - at >= last.size() && text.ends_with(last);
}

// The leading product-token characters of a "User-agent:" value.
std::string_view ProductToken(std::string_view value) {
  size_t end = 0;
  while (end < value.size()) {
    const char c = value[end];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-')) break;
    ++end;
  }
  return value.substr(0, end);
}

// "Crawl-delay:" seconds as milliseconds; nothing when the value is not a number.
bool ParseDelayMs(std::string_view value, int64_t& ms) {
  double seconds = 0;
  double scale = 0;  // 0 before the decimal point, then 0.1, 0.01, ...
  bool digits = false;
  for (char c : value) {
    if (c >= '0' && c <= '9') {
      digits = true;
      if (scale == 0) {
        seconds = seconds * 10 + (c - '0');
      } else {
        seconds += (c - '0') * scale;
        scale /= 10;
      }
    } else if (c == '.' && scale == 0) {
      scale = 0.1;
    } else {
      return false;
    }
  }
  if (!digits) return false;
  ms = static_cast<int64_t>(std::min(std::round(seconds * 1000), double(kMaxCrawlDelayMs)));
  return true;
}

std::string_view Body(std::string_view answer) {
  const size_t end = HeadEnd(answer);
  return end == std::string_view::npos ? std::string_view() : answer.substr(end);
}

}  // namespace

std::string NormalizeRobotsPath(std::string_view text, bool pattern) {
  std::string out;
  out.reserve(text.size());
  bool in_query = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '%') {
      const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
      const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
      if (high < 0 || low < 0) {
        out += "%25";
        continue;
      }
      const auto decoded = static_cast<unsigned char>(high * 16 + low);
      if (Unreserved(decoded)) {
        out += static_cast<char>(decoded);
      } else {
        AppendEscaped(out, decoded);
      }
      i += 2;
    } else if (c <= 0x20 || c >= 0x7F) {
      AppendEscaped(out, c);
    } else if (!pattern && (c == '*' || c == '$')) {
      AppendEscaped(out, c);
    } else if (in_query && (c == ':' || c == '/' || c == '?' || c == '@')) {
      AppendEscaped(out, c);
    } else {
      if (c == '?') in_query = true;
      out += static_cast<char>(c);
    }
  }
  return out;
}

RobotsRules RobotsRules::DisallowAll() {
  RobotsRules rules;
  rules.rules_.push_back({{""}, false, 0, false});
  return rules;
}

RobotsRules RobotsRules::Parse(std::string_view text, std::string_view token) {
  if (text.size() > kMaxRobotsBytes) text = text.substr(0, kMaxRobotsBytes);
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  // Rules and delays of the groups naming this crawler, and of the "*" groups.
  RobotsRules named, anyone;
  bool named_found = false, anyone_found = false;
  bool group_named = false, group_anyone = false;
  bool in_agent_lines = false;  // the last record read was a "User-agent:" line
  bool group_open = false;      // a "User-agent:" line has been read

  for (const std::string& raw : SplitLines(text)) {
    std::string_view line = raw;
    line = line.substr(0, line.find('#'));
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, colon));
    const std::string_view value = Trim(line.substr(colon + 1));

    if (EqualNoCase(key, "user-agent")) {
      if (!in_agent_lines) group_named = group_anyone = false;
      in_agent_lines = group_open = true;
      const std::string_view product = ProductToken(value);
      if (!product.empty() && EqualNoCase(product, token)) group_named = named_found = true;
      if (value == "*") group_anyone = anyone_found = true;
      continue;
    }
    const bool allow = EqualNoCase(key, "allow");
    const bool disallow = EqualNoCase(key, "disallow");
    const bool delay = EqualNoCase(key, "crawl-delay");
    if (!allow && !disallow && !delay) continue;
    in_agent_lines = false;
    if (!group_open || !(group_named || group_anyone)) continue;

    int64_t delay_ms = 0;
    if (delay && !ParseDelayMs(value, delay_ms)) continue;
    // An empty Allow or Disallow names no path: it allows what it would otherwise cover.
    if (!delay && value.empty()) continue;
    Rule rule;
    if (!delay) {
      std::string pattern = NormalizeRobotsPath(value, true);
      rule.length = pattern.size();
      rule.anchored = pattern.ends_with('$');
      if (rule.anchored) pattern.pop_back();
      // A '$' that does not end the pattern is an ordinary character.
      if (pattern.find('$') != std::string::npos) pattern = ReplaceAll(pattern, "$", "%24");
      rule.pieces = SplitAtStars(pattern);
      rule.allow = allow;
    }
    for (RobotsRules* target : {group_named ? &named : nullptr, group_anyone ? &anyone : nullptr}) {
      if (target == nullptr) continue;
      if (delay) {
        target->crawl_delay_ms_ = std::max(target->crawl_delay_ms_, delay_ms);
      } else {
        target->rules_.push_back(rule);
      }
    }
  }
  if (named_found) return named;
  if (anyone_found) return anyone;
  return {};
}

bool RobotsRules::Allows(std::string_view path) const {
  if (rules_.empty()) return true;
  const std::string text = NormalizeRobotsPath(path.empty() ? "/" : path);
  if (text == "/robots.txt") return true;
  const Rule* best = nullptr;
  for (const Rule& rule : rules_) {
    const bool wins = best == nullptr || rule.length > best->length ||
                      (rule.length == best->length && rule.allow && !best->allow);
    if (wins && PiecesMatch(rule.pieces, rule.anchored, text)) best = &rule;
  }
  return best == nullptr || best->allow;
}

RobotsRules RulesFromRobotsAnswer(std::string_view answer, std::string_view token) {
  const int code = AnswerStatus(answer).value_or(-1);
  if (code >= 200 && code < 300) return RobotsRules::Parse(Body(answer), token);
  if (code >= 500 && code < 600) return RobotsRules::DisallowAll();
  return {};
}

std::string RobotsUrl(std::string_view site, bool https_ports) {
  const UrlTarget target = SplitUrl(site, https_ports);
  if (target.host.empty()) return {};
  return target.scheme + target.host + "/robots.txt";
}

bool SiteRobots::Allows(std::string_view url) const {
  const UrlTarget target = SplitUrl(url, https_ports);
  if (!EqualNoCase(target.host, host)) return true;
  return rules.Allows(target.path);
}

}  // namespace korvane
