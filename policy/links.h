// Links of a fetched page: anchor normalisation, the link rules and the blacklist.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/strings.h"
#include "base/text_lines.h"

namespace korvane {

// The options the link rules read, taken by the caller at the moment of use.
struct LinkOptions {
  bool apostrophes = false;          // every "'" of the page counts as a double quote
  bool exclude_subdomains = false;   // a link holding the host must hold "http://" host "/"
  bool relative = false;             // other relative links resolve against the page's folder
  std::string site;                  // the start address: the base of links holding "./"
  const Lines* blacklist = nullptr;  // a link holding any non-empty line is dropped
  // The scheme of the page being scanned, with its "://": links made from the page's host
  // begin with it ("https://" for an https page when the https extension is on).
  std::string scheme = "http://";
};

// The anchor-tag normalisation run on every crawled page before its links and text are
// taken: every "<A" becomes "<a"; then, unless the text between the first "<a" and the next
// "href=" is a single space, every "<a" + that text + "href=" becomes "<a href=".
//   "<a class=\"m\" href=\"/p\">" -> "<a href=\"/p\">"
[[nodiscard]] std::string NormalizeAnchors(std::string_view page);
// The same in the page's own buffer.
void NormalizeAnchorsInPlace(std::string& page);
// The same in data[0, size), returning where the page then lies: with TextEnd::kEither either
// end may move inwards, so that fewer bytes move (ReplaceAllIn).
[[nodiscard]] std::string_view NormalizeAnchorsIn(char* data, size_t size, TextEnd moving);

// Calls `on_link` for every link of `page` that the rules build and the blacklist lets
// through, in page order. `url` is the page's own address, `host` is UrlHost(url).
// Anchors are found only in the exact form <a href="..."> (with `apostrophes`, every "'"
// counts as a double quote first). The page is read as if each anchor's <a href=" were deleted
// once its link is taken, so text joined by such a deletion forms a further anchor. A link is
// the text up to the next double quote (the whole rest of the page when there is none),
// "Zero" when that is empty, then without TAB, LF and CR. With host "H" and site "http://H/":
//   href="/x" -> "http://H/x";  href="x" -> "http://H/x" (relative: UrlDirectory(url) + "x")
//   href="../x" -> "http://H/.x";  href="http://sub.H/" -> itself (dropped with
//   exclude_subdomains);  href="a#b", href="help.html" -> dropped;  href="" -> "http://H/Zero"
//   href="\r\n" (nothing left after the breaks) -> dropped
//   <a <a href="href="x"> -> "http://H/x" (the inner anchor reads "href=" and is dropped)
// "&amp;" in a built link becomes "&". Linear in the page size.
void ExtractLinks(std::string_view page, std::string_view url, std::string_view host,
                  const LinkOptions& options, const std::function<void(std::string link)>& on_link);

// The link ExtractLinks would build from one anchor text `raw` of the page at `url`, or
// nothing when the rules or the blacklist drop it: the Location of a redirect goes through
// the rules as if it were the page's first anchor.
//   BuildLink("/x", "http://H/a", "H", {}) -> "http://H/x";  BuildLink("a#b", ...) -> nullopt
[[nodiscard]] std::optional<std::string> BuildLink(std::string_view raw, std::string_view url,
                                                   std::string_view host,
                                                   const LinkOptions& options);

// Yes when `link` contains a non-empty line of `blacklist` (case-sensitive).
[[nodiscard]] bool IsBlacklisted(std::string_view link, const Lines& blacklist);

// The folder of a page's address, with a final "/":
//   "http://H/a/b.html" -> "http://H/a/";  "http://H/" -> "http://H/";  "http://H" -> "http:///"
[[nodiscard]] std::string UrlDirectory(std::string_view url);

}  // namespace korvane
