// Links read as a browser reads them: the page parsed by libxml2, each reference resolved
// against the page's address by RFC 3986 (uriparser), normalised, and kept when it lies on
// the crawled site.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_lines.h"

namespace korvane {

// Bounds on what one page can bring, whatever its bytes.
inline constexpr size_t kMostPageReferences = 100'000;  // references read; the parse then ends
inline constexpr size_t kMostAddressBytes = 8192;       // longer references or addresses drop

// The link references of one document (no answer head), in the page's bytes: the href of
// every a and area, the src of every frame and iframe, the address of a refresh <meta>, in
// page order; entities decoded, TAB, LF and CR removed, white space and control characters
// cut off both ends. A character above U+00FF (only an entity gives one) is kept as UTF-8.
struct PageReferences {
  std::vector<std::string> references;
  std::string base;     // the first <base href>; "" for none
  size_t too_long = 0;  // references longer than kMostAddressBytes, left out
  size_t cut = 0;       // references past kMostPageReferences, left out
};

// `skip_nofollow`: an a or area whose rel holds the token "nofollow" gives nothing.
//   "<A HREF='x.html'>" -> {"x.html"};  "<a href=\"a&amp;b\">" -> {"a&b"}
//   "<meta http-equiv=Refresh content=\"0; URL='/n'\">" -> {"/n"}
[[nodiscard]] PageReferences ReadPageReferences(std::string_view document, bool skip_nofollow);

// An http or https address resolved and normalised, with the parts the site test reads.
struct LinkAddress {
  std::string address;
  size_t host_at = 0;  // the host in `address`: lower case, a non-ASCII byte as written
  size_t host_size = 0;
  size_t port_at = 0;  // the port digits in `address`; none for the scheme's default
  size_t port_size = 0;
  bool https = false;
  bool user_info = false;  // "user@" stands before the host

  [[nodiscard]] std::string_view Host() const {
    return std::string_view(address).substr(host_at, host_size);
  }
  [[nodiscard]] std::string_view Port() const {
    return std::string_view(address).substr(port_at, port_size);
  }
};

// Resolves references against one base address (RFC 3986, 5.2) and normalises the result:
// fragment dropped, scheme and host in lower case, the default port dropped, dot segments
// removed, percent-encoding with upper-case hex and unreserved characters decoded, an empty
// path as "/", the query as written. Bytes that cannot stand in an address (space, controls,
// bytes above 0x7F, "<>\"^`{|}", a "%" without two hex digits, "[" and "]" outside the host)
// are percent-encoded first, and "\" is read as "/", as browsers do; a host keeps its
// non-ASCII bytes as written. Nothing for a reference that does not parse, resolves to
// another scheme than http or https, or gives an address over kMostAddressBytes.
// With base "http://H/d/p.html":
//   "../x.html" -> "http://H/x.html";  "x#top" -> "http://H/d/x";  "" -> "http://H/d/p.html"
//   "HTTP://Sub.H:80/%7ea/./b?Q=%7e" -> "http://sub.h/~a/b?Q=%7e";  "mailto:a@H" -> nothing
class LinkResolver {
 public:
  explicit LinkResolver(std::string_view base);
  ~LinkResolver();
  LinkResolver(const LinkResolver&) = delete;
  LinkResolver& operator=(const LinkResolver&) = delete;

  // `unparsable`, when given, is set when the reference gives nothing for not parsing or
  // being too long (another scheme is no fault).
  [[nodiscard]] std::optional<LinkAddress> Resolve(std::string_view reference,
                                                   bool* unparsable = nullptr) const;

 private:
  struct Base;
  std::unique_ptr<Base>
      base_;  // null when the base does not parse: only absolute references resolve
};

// The addresses of the crawled site: http (and https with `https`) on the start address's
// host and port, and on its subdomains unless `exclude_subdomains`; never with a user name.
class SiteScope {
 public:
  SiteScope(std::string_view site, bool https, bool exclude_subdomains);
  [[nodiscard]] bool Contains(const LinkAddress& link) const;

 private:
  std::optional<LinkAddress> site_;
  bool https_;
  bool exclude_subdomains_;
};

// What the step reads besides the page.
struct StandardLinkOptions {
  std::string site;                  // the start address
  bool https = false;                // --https: https addresses belong to the site too
  bool exclude_subdomains = false;   // "исключать поддомены"
  bool skip_nofollow = false;        // --robots: rel="nofollow" links are not followed
  const Lines* blacklist = nullptr;  // an address holding any non-empty line is dropped
};

// The link step of one page, or of one address from a redirect or a sitemap: each reference
// is resolved, normalised, kept when on the site and not blacklisted.
class StandardLinks {
 public:
  explicit StandardLinks(StandardLinkOptions options);

  // Calls `on_link` for each site address of the answer `page` (head and body) fetched from
  // `url`, in page order; <base href> (resolved against `url`) replaces `url` as the base.
  void Extract(std::string_view page, std::string_view url,
               const std::function<void(std::string link)>& on_link);
  // One reference resolved against `base`, when it is kept.
  [[nodiscard]] std::optional<std::string> Admit(std::string_view reference, std::string_view base);
  // References that did not parse or were too long, and references past the page bound.
  [[nodiscard]] size_t Unparsable() const { return unparsable_; }
  [[nodiscard]] size_t Cut() const { return cut_; }

 private:
  std::optional<std::string> Keep(const LinkResolver& resolver, std::string_view reference);

  StandardLinkOptions options_;
  SiteScope scope_;
  size_t unparsable_ = 0;
  size_t cut_ = 0;
};

}  // namespace korvane
