// Anchor normalisation, the link rules and the blacklist applied to every crawled page.
#include "policy/links.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "base/strings.h"
#include "text/extract_between.h"

namespace korvane {
namespace {

constexpr std::string_view kAnchorMarker = "<a href=\"";
// A marker that reaches across a join starts at most this many bytes before it.
constexpr size_t kMarkerReach = kAnchorMarker.size() - 1;

// The blacklist lines by their first byte: a link is read once, and at each of its bytes
// only the lines that begin with that byte are compared.
class BlacklistMatcher {
 public:
  explicit BlacklistMatcher(const Lines* blacklist) {
    if (blacklist == nullptr) return;
    for (const std::string& line : *blacklist) {
      if (!line.empty()) by_first_[static_cast<unsigned char>(line[0])].emplace_back(line);
    }
  }

  // Yes when `link` contains one of the non-empty lines.
  [[nodiscard]] bool Matches(std::string_view link) const {
    for (size_t at = 0; at < link.size(); ++at) {
      for (const std::string_view line : by_first_[static_cast<unsigned char>(link[at])]) {
        if (line.size() <= link.size() - at &&
            std::memcmp(link.data() + at, line.data(), line.size()) == 0) {
          return true;
        }
      }
    }
    return false;
  }

 private:
  std::array<std::vector<std::string_view>, 256> by_first_;
};

// The anchor text as the rules read it: "Zero" for nothing, then without TAB, LF and CR.
std::string LinkText(std::string_view raw) {
  if (raw.empty()) return std::string(kZero);
  std::string text(raw);
  text.erase(std::remove_if(text.begin(), text.end(),
                            [](char c) { return c == '\t' || c == '\n' || c == '\r'; }),
             text.end());
  return text;
}

// The address parts and the blacklist every link of one page is built with, prepared once
// per page.
class LinkBuilder {
 public:
  LinkBuilder(std::string_view url, std::string_view host, const LinkOptions& options)
      : url_(url),
        host_(host),
        options_(options),
        host_root_(options.scheme + std::string(host) + "/"),
        blacklist_(options.blacklist) {}

  // The link of one raw anchor text: the rules, then "&amp;" as "&", then the blacklist.
  [[nodiscard]] std::optional<std::string> Admit(std::string_view raw) {
    std::optional<std::string> link = Build(LinkText(raw));
    if (!link) return std::nullopt;
    if (link->find('&') != std::string::npos) *link = ReplaceAll(*link, "&amp;", "&");
    if (blacklist_.Matches(*link)) return std::nullopt;
    return link;
  }

 private:
  // The link built from the anchor text `text` (breaks already removed), or nothing when the
  // first rule that applies drops it.
  [[nodiscard]] std::optional<std::string> Build(std::string text) {
    // An empty text has no first character to classify; such an anchor leads nowhere.
    if (text.empty()) return std::nullopt;
    if (Contains(text, "#")) return std::nullopt;
    if (Contains(text, "./")) return options_.site + DeleteFirst(text, "./");
    if (Contains(text, host_)) {
      if (options_.exclude_subdomains && !Contains(text, host_root_)) return std::nullopt;
      return text;
    }
    if (text.front() == '/') return Prefixed(options_.scheme, host_, text);
    if (text.front() == 'h') return std::nullopt;  // an absolute link to another site
    if (!options_.relative) return Prefixed(host_root_, {}, text);
    if (!page_folder_) page_folder_ = UrlDirectory(url_);
    return Prefixed(*page_folder_, {}, text);
  }

  // a + b + text, in one allocation.
  static std::string Prefixed(std::string_view a, std::string_view b, std::string_view text) {
    std::string link;
    link.reserve(a.size() + b.size() + text.size());
    link.append(a).append(b).append(text);
    return link;
  }

  std::string_view url_;
  std::string_view host_;
  const LinkOptions& options_;
  std::string host_root_;  // scheme + host + "/"
  BlacklistMatcher blacklist_;
  std::optional<std::string> page_folder_;  // UrlDirectory(url), once it is needed
};

// The part of the link scan's text that lies before its first marker, held as ranges of the
// page copy: the scan only ever adds a range or cuts a few bytes off the end, so no byte of
// the page is copied.
class PassedText {
 public:
  // Copies the last bytes, at most kMarkerReach of them, into `out`; returns their count.
  size_t CopyTail(std::string_view text, char* out) const {
    size_t count = 0;
    for (auto range = ranges_.rbegin(); range != ranges_.rend() && count < kMarkerReach; ++range) {
      const size_t take = std::min(range->second - range->first, kMarkerReach - count);
      count += take;
      text.copy(out + kMarkerReach - count, take, range->second - take);
    }
    std::copy_n(out + kMarkerReach - count, count, out);
    return count;
  }

  // Adds text[begin..end).
  void Append(size_t begin, size_t end) {
    if (begin < end) ranges_.emplace_back(begin, end);
  }

  // Cuts `count` bytes (no more than there are) off the end.
  void DropTail(size_t count) {
    while (count > 0) {
      auto& [begin, end] = ranges_.back();
      const size_t take = std::min(end - begin, count);
      end -= take;
      count -= take;
      if (begin == end) ranges_.pop_back();
    }
  }

 private:
  std::vector<std::pair<size_t, size_t>> ranges_;
};

}  // namespace

std::string NormalizeAnchors(std::string_view page) {
  std::string out(page);
  NormalizeAnchorsInPlace(out);
  return out;
}

void NormalizeAnchorsInPlace(std::string& page) {
  page.resize(NormalizeAnchorsIn(page.data(), page.size(), TextEnd::kStart).size());
}

std::string_view NormalizeAnchorsIn(char* data, size_t size, TextEnd moving) {
  const std::string_view page(data, size);
  // "<A" cannot overlap itself, and "<a" forms none with what follows.
  for (size_t at = FindText(page, "<A"); at != std::string::npos;
       at = FindText(page, "<A", at + 2)) {
    data[at + 1] = 'a';
  }
  const std::string_view between = ExtractBetweenView("<a", "href=", page);
  if (between == " ") return page;
  // `between` is never empty ("Zero" stands for that), so the pattern is never shorter than
  // its replacement.
  const std::string pattern = "<a" + std::string(between) + "href=";
  return ReplaceAllIn(data, size, pattern, "<a href=", moving);
}

// The rules read the page as a text P from which, after each anchor, the first marker is
// deleted; the deletion can join the bytes around it into a new marker, which the next pass
// must see. Rebuilding P per anchor would cost the page size per anchor, so P is kept as
// `passed` + text[rest..]:
// - `passed` is P before its first marker, so it never holds a whole marker;
// - text[rest..] is the untouched remainder of the page (its apostrophes turned into quotes
//   when asked).
// The first marker of P therefore either straddles the join (it starts in the last
// kMarkerReach bytes of `passed`) or is the first one in text[rest..]. Deleting it shortens
// `passed` in the first case and moves the skipped bytes into it in the second; either way
// the invariant holds and `rest` moves past the marker's end. The anchor text lies in
// text[rest..], as the marker ends there, and its closing quote comes no later than the end
// of the next marker, so each byte of the page is searched a bounded number of times.
void ExtractLinks(std::string_view page, std::string_view url, std::string_view host,
                  const LinkOptions& options,
                  const std::function<void(std::string link)>& on_link) {
  std::string quoted;
  std::string_view text = page;
  if (options.apostrophes) {
    quoted = page;
    std::replace(quoted.begin(), quoted.end(), '\'', '"');
    text = quoted;
  }
  LinkBuilder builder(url, host, options);

  PassedText passed;
  size_t rest = 0;
  for (;;) {
    char join[2 * kMarkerReach];
    const size_t before = passed.CopyTail(text, join);
    const size_t after = text.copy(join + before, kMarkerReach, rest);
    const size_t in_join = std::string_view(join, before + after).find(kAnchorMarker);
    if (in_join < before) {
      passed.DropTail(before - in_join);
      rest += kAnchorMarker.size() - (before - in_join);
    } else {
      const size_t hit = text.find(kAnchorMarker, rest);
      if (hit == std::string_view::npos) break;
      passed.Append(rest, hit);
      rest = hit + kAnchorMarker.size();
    }

    // Up to the next double quote, or the whole rest of P when there is none.
    const size_t quote = text.find('"', rest);
    const size_t length = quote == std::string_view::npos ? quote : quote - rest;
    if (auto link = builder.Admit(text.substr(rest, length))) on_link(std::move(*link));
  }
}

std::optional<std::string> BuildLink(std::string_view raw, std::string_view url,
                                     std::string_view host, const LinkOptions& options) {
  LinkBuilder builder(url, host, options);
  return builder.Admit(raw);
}

bool IsBlacklisted(std::string_view link, const Lines& blacklist) {
  return BlacklistMatcher(&blacklist).Matches(link);
}

std::string UrlDirectory(std::string_view url) {
  // The address is cut like a drive path: "http://" stands in for a drive "c:\" and every
  // "/" for "\", so the folder is what precedes the last "\" (or ":"), and a drive root
  // keeps its "\".
  std::string path = ReplaceAll(ReplaceFirst(url, "http://", "c:\\"), "/", "\\");
  size_t keep = path.find_last_of("\\:");
  keep = keep == std::string::npos ? 0 : keep + 1;  // counted from 1, 0 for none
  if (keep > 1 && path[keep - 1] == '\\' && path[keep - 2] != '\\' && path[keep - 2] != ':') {
    --keep;
  }
  path.resize(keep);
  path += '\\';
  return ReplaceAll(ReplaceAll(path, "\\", "/"), "c:/", "http://");
}

}  // namespace korvane
