// The browser's reading of links: references from libxml2's parse, uriparser's resolution,
// the normalisation and the site test.
#include "policy/standard_links.h"

#include <uriparser/Uri.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "base/strings.h"
#include "policy/links.h"
#include "text/html_parse.h"

namespace korvane {
namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

bool IsAsciiSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The reference as the address parser reads it: TAB, LF and CR removed, C0 controls and
// spaces cut off both ends, as browsers do.
std::string StrippedReference(std::string_view raw) {
  size_t begin = 0;
  size_t end = raw.size();
  while (begin < end && static_cast<unsigned char>(raw[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(raw[end - 1]) <= 0x20) --end;
  std::string text;
  text.reserve(end - begin);
  for (size_t i = begin; i < end; ++i) {
    if (raw[i] != '\t' && raw[i] != '\n' && raw[i] != '\r') text += raw[i];
  }
  return text;
}

// The scheme a reference begins with ("" for none): letters, digits, "+", "-", "." after a
// first letter, then ":".
std::string_view SchemeOf(std::string_view reference) {
  if (reference.empty() || !std::isalpha(static_cast<unsigned char>(reference[0]))) return {};
  for (size_t i = 1; i < reference.size(); ++i) {
    const auto c = static_cast<unsigned char>(reference[i]);
    if (c == ':') return reference.substr(0, i);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return {};
  }
  return {};
}

// Where the reference's authority (the host part) lies, [begin, end); begin == end for none.
std::pair<size_t, size_t> AuthorityOf(std::string_view reference) {
  size_t begin = SchemeOf(reference).size();
  if (begin > 0) ++begin;  // the ":"
  const auto slash = [](char c) { return c == '/' || c == '\\'; };
  if (reference.size() < begin + 2 || !slash(reference[begin]) || !slash(reference[begin + 1])) {
    return {0, 0};
  }
  begin += 2;
  size_t end = begin;
  while (end < reference.size() && !slash(reference[end]) && reference[end] != '?') ++end;
  return {begin, end};
}

// The reference with the bytes an address cannot hold percent-encoded and "\" as "/"; the
// fragment is left out, as the address drops it anyway.
std::string EncodedReference(std::string_view reference) {
  reference = reference.substr(0, reference.find('#'));
  const auto [host_begin, host_end] = AuthorityOf(reference);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(reference.size() + 16);
  for (size_t i = 0; i < reference.size(); ++i) {
    const char c = reference[i];
    const auto byte = static_cast<unsigned char>(c);
    bool encode = byte <= 0x20 || byte >= 0x7F;
    switch (c) {
      case '"':
      case '<':
      case '>':
      case '^':
      case '`':
      case '{':
      case '|':
      case '}':
        encode = true;
        break;
      case '[':
      case ']':
        encode = i < host_begin || i >= host_end;
        break;
      case '%':
        encode = i + 2 >= reference.size() || HexValue(reference[i + 1]) < 0 ||
                 HexValue(reference[i + 2]) < 0;
        break;
      case '\\':
        out += '/';
        continue;
      default:
        break;
    }
    if (encode) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string_view RangeText(const UriTextRangeA& range) {
  if (range.first == nullptr || range.afterLast == nullptr) return {};
  return {range.first, static_cast<size_t>(range.afterLast - range.first)};
}

// A parsed address that frees its parts when it goes.
struct ParsedUri {
  UriUriA uri{};
  bool parsed = false;
  ParsedUri() = default;
  ParsedUri(const ParsedUri&) = delete;
  ParsedUri& operator=(const ParsedUri&) = delete;
  ~ParsedUri() {
    if (parsed) uriFreeUriMembersA(&uri);
  }
  bool Parse(std::string_view text) {
    const char* error = nullptr;
    parsed =
        uriParseSingleUriExA(&uri, text.data(), text.data() + text.size(), &error) == URI_SUCCESS;
    return parsed;
  }
};

// The host as the address keeps it: ASCII letters in lower case, the bytes above 0x7F that
// were percent-encoded for the parser back as written.
void AppendHost(std::string& out, std::string_view host) {
  for (size_t i = 0; i < host.size(); ++i) {
    if (host[i] == '%' && i + 2 < host.size() && HexValue(host[i + 1]) >= 8 &&
        HexValue(host[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(host[i + 1]) * 16 + HexValue(host[i + 2]));
      i += 2;
    } else {
      out += AsciiLower(host[i]);
    }
  }
}

// Yes when `port` (digits) names the scheme's default port or is empty.
bool DefaultPort(std::string_view port, bool https) {
  const size_t digits = port.find_first_not_of('0');
  if (digits == std::string_view::npos) return port.empty();
  return port.substr(digits) == (https ? "443" : "80");
}

}  // namespace

// ---- References ----

namespace {

// The SAX side of ReadPageReferences.
class ReferenceReader {
 public:
  ReferenceReader(PageReferences& out, bool skip_nofollow)
      : out_(out), skip_nofollow_(skip_nofollow) {}

  void Watch(xmlParserCtxtPtr ctxt) { ctxt_ = ctxt; }

  void Start(std::string_view name, const xmlChar** atts) {
    if (atts == nullptr || name.empty()) return;
    switch (name[0]) {
      case 'a':
        if (name == "a" || name == "area") Anchor(atts);
        break;
      case 'f':
        if (name == "frame") Take(Attribute(atts, "src"));
        break;
      case 'i':
        if (name == "iframe") Take(Attribute(atts, "src"));
        break;
      case 'b':
        if (name == "base" && !base_seen_) {
          if (const auto href = Attribute(atts, "href")) {
            base_seen_ = true;
            out_.base = StrippedReference(PageBytes(*href));
          }
        }
        break;
      case 'm':
        if (name == "meta") Meta(atts);
        break;
      default:
        break;
    }
  }

 private:
  static std::optional<std::string_view> Attribute(const xmlChar** atts, std::string_view name) {
    for (size_t i = 0; atts[i] != nullptr; i += 2) {
      if (reinterpret_cast<const char*>(atts[i]) == name) {
        return atts[i + 1] == nullptr
                   ? std::string_view()
                   : std::string_view(reinterpret_cast<const char*>(atts[i + 1]));
      }
    }
    return std::nullopt;
  }

  // The UTF-8 value as the page's bytes: code points below 0x100 as the byte they were read
  // from, others (from entities) as their UTF-8.
  static std::string PageBytes(std::string_view utf8) {
    std::string bytes;
    bytes.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
      const auto c = static_cast<unsigned char>(utf8[i]);
      if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
        bytes +=
            static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
        ++i;
      } else {
        bytes += static_cast<char>(c);
      }
    }
    return bytes;
  }

  void Anchor(const xmlChar** atts) {
    const auto href = Attribute(atts, "href");
    if (!href) return;
    if (skip_nofollow_) {
      if (const auto rel = Attribute(atts, "rel"); rel && HoldsNofollow(*rel)) return;
    }
    Take(href);
  }

  static bool HoldsNofollow(std::string_view rel) {
    size_t at = 0;
    while (at < rel.size()) {
      while (at < rel.size() && IsAsciiSpace(rel[at])) ++at;
      size_t end = at;
      while (end < rel.size() && !IsAsciiSpace(rel[end])) ++end;
      if (EqualsNoCase(rel.substr(at, end - at), "nofollow")) return true;
      at = end;
    }
    return false;
  }

  // <meta http-equiv="refresh" content="5; url=...">: the address after the delay.
  void Meta(const xmlChar** atts) {
    const auto equiv = Attribute(atts, "http-equiv");
    if (!equiv || !EqualsNoCase(*equiv, "refresh")) return;
    const auto content = Attribute(atts, "content");
    if (!content) return;
    std::string_view rest = *content;
    const auto skip = [&rest](auto is) {
      while (!rest.empty() && is(static_cast<unsigned char>(rest.front()))) rest.remove_prefix(1);
    };
    skip([](unsigned char c) { return IsAsciiSpace(c); });
    skip([](unsigned char c) { return std::isdigit(c) || c == '.'; });
    skip([](unsigned char c) { return IsAsciiSpace(c); });
    if (!rest.empty() && (rest.front() == ';' || rest.front() == ',')) rest.remove_prefix(1);
    skip([](unsigned char c) { return IsAsciiSpace(c); });
    if (StartsNoCase(rest, "url")) {
      std::string_view after = rest.substr(3);
      while (!after.empty() && IsAsciiSpace(after.front())) after.remove_prefix(1);
      if (!after.empty() && after.front() == '=') {
        after.remove_prefix(1);
        while (!after.empty() && IsAsciiSpace(after.front())) after.remove_prefix(1);
        rest = after;
      }
    }
    if (!rest.empty() && (rest.front() == '\'' || rest.front() == '"')) {
      const char quote = rest.front();
      rest.remove_prefix(1);
      rest = rest.substr(0, rest.find(quote));
    }
    if (!rest.empty()) Take(rest);
  }

  void Take(std::optional<std::string_view> value) {
    if (!value) return;
    if (out_.references.size() >= kMostPageReferences) {
      ++out_.cut;
      // The rest of the page can bring no more; only a late <base> would still count.
      if (ctxt_ != nullptr && !stopped_) Xml().xmlStopParser(ctxt_);
      stopped_ = true;
      return;
    }
    // Twice the bound: a value may grow by the UTF-8 form of its high bytes.
    if (value->size() > 2 * kMostAddressBytes) {
      ++out_.too_long;
      return;
    }
    std::string reference = StrippedReference(PageBytes(*value));
    if (reference.size() > kMostAddressBytes) {
      ++out_.too_long;
      return;
    }
    out_.references.push_back(std::move(reference));
  }

  PageReferences& out_;
  const bool skip_nofollow_;
  bool base_seen_ = false;
  xmlParserCtxtPtr ctxt_ = nullptr;
  bool stopped_ = false;
};

void OnReferenceStart(void* ctx, const xmlChar* name, const xmlChar** atts) {
  static_cast<ReferenceReader*>(ctx)->Start(reinterpret_cast<const char*>(name), atts);
}

}  // namespace

PageReferences ReadPageReferences(std::string_view document, bool skip_nofollow) {
  PageReferences out;
  ReferenceReader reader(out, skip_nofollow);
  xmlSAXHandler sax{};
  sax.startElement = OnReferenceStart;
  ParseHtml(document, PageBytes::kLatin1, sax, &reader,
            [&reader](xmlParserCtxtPtr ctxt) { reader.Watch(ctxt); });
  return out;
}

// ---- Resolution ----

struct LinkResolver::Base {
  std::string text;
  ParsedUri uri;
};

LinkResolver::LinkResolver(std::string_view base) : base_(std::make_unique<Base>()) {
  base_->text = EncodedReference(StrippedReference(base));
  if (!base_->uri.Parse(base_->text) || base_->uri.uri.scheme.first == nullptr) base_.reset();
}

LinkResolver::~LinkResolver() = default;

std::optional<LinkAddress> LinkResolver::Resolve(std::string_view reference,
                                                 bool* unparsable) const {
  const auto fail = [unparsable]() -> std::optional<LinkAddress> {
    if (unparsable != nullptr) *unparsable = true;
    return std::nullopt;
  };
  if (unparsable != nullptr) *unparsable = false;
  if (reference.size() > kMostAddressBytes) return fail();
  const std::string_view scheme = SchemeOf(reference);
  if (!scheme.empty() && !EqualsNoCase(scheme, "http") && !EqualsNoCase(scheme, "https")) {
    return std::nullopt;
  }
  const std::string text = EncodedReference(reference);
  ParsedUri relative;
  if (!relative.Parse(text)) return fail();
  ParsedUri absolute;
  if (base_ != nullptr) {
    absolute.parsed = uriAddBaseUriA(&absolute.uri, &relative.uri, &base_->uri.uri) == URI_SUCCESS;
  } else if (relative.uri.scheme.first != nullptr) {
    absolute.parsed = uriAddBaseUriA(&absolute.uri, &relative.uri, &relative.uri) == URI_SUCCESS;
  }
  if (!absolute.parsed) return fail();
  UriUriA& uri = absolute.uri;
  const std::string_view resolved_scheme = RangeText(uri.scheme);
  const bool https = EqualsNoCase(resolved_scheme, "https");
  if (!https && !EqualsNoCase(resolved_scheme, "http")) return std::nullopt;
  if (uri.hostText.first == nullptr || uri.hostText.first == uri.hostText.afterLast) return fail();
  if (uriNormalizeSyntaxExA(&uri, URI_NORMALIZE_PATH) != URI_SUCCESS) return fail();

  LinkAddress link;
  link.https = https;
  std::string& out = link.address;
  out.reserve(text.size() + 32);
  out += https ? "https://" : "http://";
  const std::string_view user_info = RangeText(uri.userInfo);
  if (uri.userInfo.first != nullptr) {
    link.user_info = true;
    out.append(user_info).append("@");
  }
  const size_t host_begin = out.size();
  const bool literal = uri.hostData.ip6 != nullptr || uri.hostData.ipFuture.first != nullptr;
  if (literal) out += '[';
  AppendHost(out, RangeText(uri.hostText));
  if (literal) out += ']';
  const size_t host_end = out.size();
  const std::string_view port = RangeText(uri.portText);
  size_t port_begin = out.size();
  if (!DefaultPort(port, https)) {
    out += ':';
    port_begin = out.size();
    out.append(port);
  }
  const size_t port_end = out.size();
  if (uri.pathHead == nullptr) out += '/';
  for (const UriPathSegmentA* segment = uri.pathHead; segment != nullptr; segment = segment->next) {
    out += '/';
    out.append(RangeText(segment->text));
  }
  if (uri.query.first != nullptr) out.append("?").append(RangeText(uri.query));
  if (out.size() > kMostAddressBytes) return fail();
  link.host_at = host_begin;
  link.host_size = host_end - host_begin;
  link.port_at = port_begin;
  link.port_size = port_end - port_begin;
  return link;
}

// ---- The site ----

SiteScope::SiteScope(std::string_view site, bool https, bool exclude_subdomains)
    : https_(https), exclude_subdomains_(exclude_subdomains) {
  site_ = LinkResolver(site).Resolve(StrippedReference(site));
}

bool SiteScope::Contains(const LinkAddress& link) const {
  if (!site_ || link.user_info || (link.https && !https_) || link.Port() != site_->Port()) {
    return false;
  }
  const std::string_view host = link.Host();
  const std::string_view site_host = site_->Host();
  if (host == site_host) return true;
  return !exclude_subdomains_ && host.size() > site_host.size() &&
         host.substr(host.size() - site_host.size()) == site_host &&
         host[host.size() - site_host.size() - 1] == '.';
}

// ---- The step ----

StandardLinks::StandardLinks(StandardLinkOptions options)
    : options_(std::move(options)),
      scope_(options_.site, options_.https, options_.exclude_subdomains) {}

std::optional<std::string> StandardLinks::Keep(const LinkResolver& resolver,
                                               std::string_view reference) {
  bool unparsable = false;
  std::optional<LinkAddress> link = resolver.Resolve(reference, &unparsable);
  if (unparsable) ++unparsable_;
  if (!link || !scope_.Contains(*link)) return std::nullopt;
  if (options_.blacklist != nullptr && IsBlacklisted(link->address, *options_.blacklist)) {
    return std::nullopt;
  }
  return std::move(link->address);
}

std::optional<std::string> StandardLinks::Admit(std::string_view reference, std::string_view base) {
  const LinkResolver resolver(base);
  return Keep(resolver, StrippedReference(reference));
}

void StandardLinks::Extract(std::string_view page, std::string_view url,
                            const std::function<void(std::string link)>& on_link) {
  const size_t header_end = page.find(kHeaderEnd);
  if (header_end != std::string_view::npos) page.remove_prefix(header_end + kHeaderEnd.size());
  const PageReferences found = ReadPageReferences(page, options_.skip_nofollow);
  unparsable_ += found.too_long;
  cut_ += found.cut;
  std::string base(url);
  if (!found.base.empty()) {
    const LinkResolver page_resolver(url);
    if (auto resolved = page_resolver.Resolve(found.base)) base = std::move(resolved->address);
  }
  const LinkResolver resolver(base);
  for (const std::string& reference : found.references) {
    if (auto link = Keep(resolver, reference)) on_link(std::move(*link));
  }
}

}  // namespace korvane
