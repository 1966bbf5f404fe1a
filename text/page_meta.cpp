// PageMetaReader: the page's metadata gathered from the events of its parse and weighed by
// source.
#include "text/page_meta.h"

#include <cld2/public/compact_lang_det.h>
#include <cld2/public/encodings.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <unordered_map>
#include <utility>

#include "base/cp1251.h"
#include "base/strings.h"

namespace korvane {

// Source ranks: a lower rank is trusted more. Within a rank the first fact in the page wins.
enum Rank : int {
  // A byline beside the headline names the article's writer, where metadata often names the
  // organisation or the account that posted it.
  kBylineByHeadline = 5,
  kJsonLdArticle = 10,
  kJsonLdProduct = 11,
  kJsonLdPage = 12,
  kOpenGraph = 20,
  kMetaName = 30,
  kMicrodata = 40,
  kMicrodataName = 45,
  kRelAuthor = 48,
  kAuthorClass = 54,  // an element whose class says author and name ("author-name")
  kAuthorWord = 55,   // one whose class is an author's ("author", "post-author")
  kHeadingInArticle = 58,
  kHeading = 60,
  kTitle = 70,
};

namespace {

using Json = nlohmann::json;

// Bounds that keep any page cheap: the bytes of text kept in all, of one kept text, of all
// JSON-LD, and how deep JSON-LD is read.
constexpr size_t kMostKept = 4 << 20;
constexpr size_t kMostOneText = 64 << 10;
constexpr size_t kMostJsonLd = 16 << 20;
constexpr int kMostJsonDepth = 64;
// The longest field written, in bytes.
constexpr size_t kLongestField = 2000;

// The meta names and properties read, with the field each gives and its source.
struct MetaName {
  std::string_view name;  // lower case
  std::string_view key;
  int source;
};
constexpr MetaName kMetaNames[] = {
    {"og:title", "title", kOpenGraph},
    {"og:description", "description", kOpenGraph},
    {"og:site_name", "site_name", kOpenGraph},
    {"og:url", "canonical", kOpenGraph},
    {"article:published_time", "published", kOpenGraph},
    {"og:article:published_time", "published", kOpenGraph},
    {"article:published", "published", kOpenGraph},
    {"og:published_time", "published", kOpenGraph},
    {"article:modified_time", "modified", kOpenGraph},
    {"og:article:modified_time", "modified", kOpenGraph},
    {"og:updated_time", "modified", kOpenGraph},
    {"article:author", "author", kOpenGraph},
    {"og:locale", "language", kOpenGraph},
    {"dc.title", "title", kMetaName},
    {"dcterms.title", "title", kMetaName},
    {"citation_title", "title", kMetaName},
    {"parsely-title", "title", kMetaName},
    {"twitter:title", "title", kMetaName},
    {"title", "title", kMetaName},
    {"dc.description", "description", kMetaName},
    {"dcterms.description", "description", kMetaName},
    {"description", "description", kMetaName},
    {"twitter:description", "description", kMetaName},
    {"dc.creator", "author", kMetaName},
    {"dcterms.creator", "author", kMetaName},
    {"author", "author", kMetaName},
    {"citation_author", "author", kMetaName},
    {"parsely-author", "author", kMetaName},
    {"sailthru.author", "author", kMetaName},
    {"byl", "author", kMetaName},
    {"dc.date.issued", "published", kMetaName},
    {"dcterms.issued", "published", kMetaName},
    {"dc.date", "published", kMetaName},
    {"dcterms.date", "published", kMetaName},
    {"dcterms.created", "published", kMetaName},
    {"dc.date.created", "published", kMetaName},
    {"citation_publication_date", "published", kMetaName},
    {"citation_date", "published", kMetaName},
    {"citation_online_date", "published", kMetaName},
    {"date", "published", kMetaName},
    {"pubdate", "published", kMetaName},
    {"publishdate", "published", kMetaName},
    {"publish-date", "published", kMetaName},
    {"publish_date", "published", kMetaName},
    {"publication_date", "published", kMetaName},
    {"article.published", "published", kMetaName},
    {"article_date_original", "published", kMetaName},
    {"original-publish-date", "published", kMetaName},
    {"sailthru.date", "published", kMetaName},
    {"parsely-pub-date", "published", kMetaName},
    {"dcterms.modified", "modified", kMetaName},
    {"dc.date.modified", "modified", kMetaName},
    {"last-modified", "modified", kMetaName},
    {"article.updated", "modified", kMetaName},
    {"application-name", "site_name", kMetaName},
    {"dc.publisher", "site_name", kMetaName},
    {"dc.language", "language", kMetaName},
    {"dcterms.language", "language", kMetaName},
    {"content-language", "language", kMetaName},
    {"language", "language", kMetaName},
};

// The microdata properties read, with the field each gives.
struct ItemProp {
  std::string_view prop;
  std::string_view key;
  int source;
};
constexpr ItemProp kItemProps[] = {
    {"headline", "title", kMicrodata},
    {"name", "title", kMicrodataName},
    {"description", "description", kMicrodata},
    {"author", "author", kMicrodata},
    {"author.name", "author", kMicrodata},
    {"creator", "author", kMicrodata},
    {"creator.name", "author", kMicrodata},
    {"datepublished", "published", kMicrodata},
    {"datecreated", "published", kMicrodataName},
    {"datemodified", "modified", kMicrodata},
    {"publisher.name", "site_name", kMicrodata},
    {"inlanguage", "language", kMicrodata},
};

// Classes that mark an element holding the author's name.
constexpr std::string_view kAuthorClasses[] = {"author", "post-author", "entry-author",
                                               "article-author"};

bool IsBlank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The length of the valid UTF-8 sequence at `i`, 0 when there is none.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return 1;
  size_t n = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    low = c == 0xE0 ? 0xA0 : 0x80;
    high = c == 0xED ? 0x9F : 0xBF;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    low = c == 0xF0 ? 0x90 : 0x80;
    high = c == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  const auto second = static_cast<unsigned char>(s[i + 1]);
  if (second < low || second > high) return 0;
  for (size_t k = 2; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

// `text` with every byte that starts no valid UTF-8 sequence read as `invalid` gives it:
// kept as the ISO-8859-1 character it is, or replaced by "?".
std::string ValidUtf8(std::string_view text, bool latin1_fallback) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8Length(text, i);
    if (n > 0) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      if (latin1_fallback) {
        AppendUtf8(out, static_cast<unsigned char>(text[i]));
      } else {
        out += '?';
      }
      ++i;
    }
  }
  return out;
}

// The code points of UTF-8 `text` (valid, as the parser hands it over) in turn.
template <class Visit>
void ForEachCodePoint(std::string_view text, Visit visit) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = std::max<size_t>(1, Utf8Length(text, i));
    const auto c = static_cast<unsigned char>(text[i]);
    char32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    visit(cp);
    i += n;
  }
}

// White space folded to one blank, none at the ends; at most `most` bytes, cut at a
// character's start.
std::string Fold(std::string_view text, size_t most = kLongestField) {
  std::string out;
  bool blank = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // U+00A0 as a blank too.
    const bool nbsp =
        c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA0;
    if (IsBlank(c) || nbsp) {
      blank = !out.empty();
      i += nbsp;
      continue;
    }
    if (out.size() >= most) break;
    if (blank) out += ' ';
    blank = false;
    out += static_cast<char>(c);
  }
  if (out.size() > most) {
    size_t cut = most;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    out.resize(cut);
  }
  return out;
}

// Character references left in texts that were not parsed as HTML (JSON-LD, attribute values
// written twice over): numeric ones and the few names that occur.
std::string DecodeReferences(std::string_view text) {
  if (text.find('&') == std::string_view::npos) return std::string(text);
  static constexpr std::pair<std::string_view, char32_t> kNames[] = {
      {"amp", '&'},      {"quot", '"'},     {"apos", '\''},    {"lt", '<'},       {"gt", '>'},
      {"nbsp", 0xA0},    {"ndash", 0x2013}, {"mdash", 0x2014}, {"rsquo", 0x2019}, {"lsquo", 0x2018},
      {"rdquo", 0x201D}, {"ldquo", 0x201C}, {"hellip", 0x2026}};
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const size_t end = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
    if (end == std::string_view::npos || end - i > 10) {
      out += text[i];
      continue;
    }
    const std::string_view name = text.substr(i + 1, end - i - 1);
    char32_t cp = 0;
    if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      for (const char c : name.substr(hex ? 2 : 1)) {
        const int digit = c >= '0' && c <= '9'          ? c - '0'
                          : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                        : -1;
        if (digit < 0 || cp > 0x10FFFF) {
          cp = 0;
          break;
        }
        cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(digit);
      }
    } else {
      for (const auto& [entity, value] : kNames) {
        if (name == entity) cp = value;
      }
    }
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
      out += text[i];
      continue;
    }
    AppendUtf8(out, cp);
    i = end;
  }
  return out;
}

const char* Attribute(const char* const* attributes, std::string_view name) {
  if (attributes == nullptr) return nullptr;
  for (size_t i = 0; attributes[i] != nullptr; i += 2) {
    if (name == attributes[i]) return attributes[i + 1] == nullptr ? "" : attributes[i + 1];
  }
  return nullptr;
}

bool HasToken(std::string_view list, std::string_view token) {
  size_t at = 0;
  while (at < list.size()) {
    size_t end = list.find_first_of(" \t\n\r\f", at);
    if (end == std::string_view::npos) end = list.size();
    if (AsciiLowered(list.substr(at, end - at)) == token) return true;
    at = end + 1;
  }
  return false;
}

bool LooksLikeAddress(std::string_view text) {
  return text.starts_with("http://") || text.starts_with("https://") || text.starts_with("//") ||
         text.starts_with("www.") ||
         (text.find('/') != std::string_view::npos && text.find(' ') == std::string_view::npos);
}

// `ref` resolved against `base` ("http://host/dir/page"): an absolute address stays, one from
// the root or the scheme takes the base's host, any other the base's folder.
std::string Resolve(std::string_view base, std::string_view ref) {
  if (ref.empty()) return {};
  const size_t scheme_end = base.find("://");
  if (ref.find("://") != std::string_view::npos || scheme_end == std::string_view::npos) {
    return std::string(ref);
  }
  if (ref.starts_with("//")) return std::string(base.substr(0, scheme_end + 1)) + std::string(ref);
  const size_t host_end = std::min(base.find('/', scheme_end + 3), base.size());
  if (ref.starts_with("/")) return std::string(base.substr(0, host_end)) + std::string(ref);
  const size_t query = std::min(base.find_first_of("?#", host_end), base.size());
  const size_t folder = base.rfind('/', query == 0 ? 0 : query - 1);
  const size_t keep = folder == std::string_view::npos || folder < host_end ? host_end : folder;
  return std::string(base.substr(0, keep)) + "/" + std::string(ref);
}

// A JSON-LD block as pages write it, made parseable where it is broken in the usual ways: a
// comment or CDATA wrapper around it, raw line breaks inside strings, a comma before a
// closing bracket.
std::string RepairJson(std::string_view block) {
  std::string unwrapped(block);
  for (std::string_view wrapper : {"<![CDATA[", "]]>"}) {
    for (size_t at = unwrapped.find(wrapper); at != std::string::npos;
         at = unwrapped.find(wrapper, at)) {
      unwrapped.erase(at, wrapper.size());
    }
  }
  std::string_view text = unwrapped;
  const size_t first = text.find_first_of("{[");
  const size_t last =
      first == std::string_view::npos ? first : text.find_last_of(text[first] == '{' ? '}' : ']');
  if (first == std::string_view::npos || last == std::string_view::npos || last < first) return {};
  text = text.substr(first, last - first + 1);
  std::string out;
  out.reserve(text.size());
  bool in_string = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\' && i + 1 < text.size()) {
        out += c;
        out += text[++i];
        continue;
      }
      if (c == '"') in_string = false;
      out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
      continue;
    }
    if (c == '"') in_string = true;
    if (c == ',') {
      const size_t next = text.find_first_not_of(" \t\r\n", i + 1);
      if (next != std::string_view::npos && (text[next] == '}' || text[next] == ']')) continue;
    }
    out += c;
  }
  return out;
}

// The block parsed, values deeper than kMostJsonDepth left out; null when it does not parse.
Json ParseJsonLd(const std::string& text) {
  const Json::parser_callback_t shallow = [](int depth, Json::parse_event_t, Json&) {
    return depth <= kMostJsonDepth;
  };
  Json parsed = Json::parse(text, shallow, false, true);
  if (!parsed.is_discarded()) return parsed;
  parsed = Json::parse(RepairJson(text), shallow, false, true);
  return parsed.is_discarded() ? Json() : parsed;
}

std::string TypeName(std::string_view type) {
  const size_t slash = type.find_last_of("/:");
  return AsciiLowered(slash == std::string_view::npos ? type : type.substr(slash + 1));
}

// The rank of a JSON-LD node by its @type: articles, then products, then web pages; 0 for
// other types.
int NodeRank(const Json& node, bool* is_site) {
  const auto rank_of = [is_site](const std::string& type) {
    static constexpr std::string_view kArticles[] = {"article",
                                                     "newsarticle",
                                                     "blogposting",
                                                     "report",
                                                     "scholarlyarticle",
                                                     "techarticle",
                                                     "liveblogposting",
                                                     "socialmediaposting",
                                                     "discussionforumposting",
                                                     "analysisnewsarticle",
                                                     "opinionnewsarticle",
                                                     "reportagenewsarticle",
                                                     "reviewnewsarticle",
                                                     "backgroundnewsarticle",
                                                     "review",
                                                     "recipe",
                                                     "howto",
                                                     "question",
                                                     "videoobject",
                                                     "podcastepisode",
                                                     "creativework",
                                                     "medicalscholarlyarticle"};
    static constexpr std::string_view kProducts[] = {
        "product", "softwareapplication", "book", "course", "event", "jobposting"};
    static constexpr std::string_view kPages[] = {
        "webpage",        "aboutpage",    "collectionpage",    "itempage",
        "faqpage",        "qapage",       "profilepage",       "contactpage",
        "medicalwebpage", "checkoutpage", "searchresultspage", "realestatelisting"};
    if (type == "website") *is_site = true;
    for (std::string_view t : kArticles) {
      if (type == t) return static_cast<int>(kJsonLdArticle);
    }
    for (std::string_view t : kProducts) {
      if (type == t) return static_cast<int>(kJsonLdProduct);
    }
    for (std::string_view t : kPages) {
      if (type == t) return static_cast<int>(kJsonLdPage);
    }
    return 0;
  };
  const auto type = node.find("@type");
  if (type == node.end()) return 0;
  int best = 0;
  const auto consider = [&](const Json& value) {
    if (!value.is_string()) return;
    const int rank = rank_of(TypeName(value.get<std::string>()));
    if (rank != 0 && (best == 0 || rank < best)) best = rank;
  };
  if (type->is_array()) {
    for (const Json& each : *type) consider(each);
  } else {
    consider(*type);
  }
  return best;
}

// The JSON-LD nodes of a block: top-level objects, the members of arrays and of @graph, and
// the main entity of a page, by `visit(node)`.
template <class Visit>
void ForEachNode(const Json& value, int depth, const Visit& visit) {
  if (depth > 6) return;
  if (value.is_array()) {
    for (const Json& each : value) ForEachNode(each, depth + 1, visit);
    return;
  }
  if (!value.is_object()) return;
  visit(value);
  for (const char* key : {"@graph", "mainEntity"}) {
    const auto member = value.find(key);
    if (member != value.end()) ForEachNode(*member, depth + 1, visit);
  }
}

std::string StringOf(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer()) return std::to_string(value.get<int64_t>());
  return {};
}

// The name of a person or organisation: a string, an object's name (through its @id when it
// only points to a node of the graph), each of an array joined by ", ".
std::string NameOf(const Json& value, const std::unordered_map<std::string, const Json*>& ids,
                   int depth = 0) {
  if (depth > 3) return {};
  if (value.is_string()) return value.get<std::string>();
  if (value.is_array()) {
    std::vector<std::string> names;
    for (const Json& each : value) {
      std::string name = Fold(NameOf(each, ids, depth + 1));
      if (name.empty() || names.size() >= 5 ||
          std::find(names.begin(), names.end(), name) != names.end()) {
        continue;
      }
      names.push_back(std::move(name));
    }
    // As a byline lists them: "A and B", "A, B, and C".
    std::string joined;
    for (size_t i = 0; i < names.size(); ++i) {
      if (i > 0) joined += names.size() == 2 ? " and " : i + 1 == names.size() ? ", and " : ", ";
      joined += names[i];
    }
    return joined;
  }
  if (!value.is_object()) return {};
  const auto name = value.find("name");
  if (name != value.end()) return NameOf(*name, ids, depth + 1);
  const auto id = value.find("@id");
  if (id != value.end() && id->is_string()) {
    const auto found = ids.find(id->get<std::string>());
    if (found != ids.end() && found->second != &value)
      return NameOf(*found->second, ids, depth + 1);
  }
  return {};
}

// The address a node gives for its page: url, mainEntityOfPage (a string or an object's
// @id).
std::string AddressOf(const Json& node) {
  const auto url = node.find("url");
  if (url != node.end() && url->is_string()) return url->get<std::string>();
  const auto main = node.find("mainEntityOfPage");
  if (main != node.end()) {
    if (main->is_string()) return main->get<std::string>();
    if (main->is_object()) {
      const auto id = main->find("@id");
      if (id != main->end() && id->is_string()) return id->get<std::string>();
    }
  }
  return {};
}

// The site-name part of a title: "Headline | Site", "Site - Headline", ... Separators that
// divide the title into a site's name and the headline.
constexpr std::string_view kSeparators[] = {
    " | ", " - ", " – ", " — ", " · ", " :: ", " » ", " « ", " / ", " : ", " • ", " ~ "};

// `title` without the site's name at either end: `site` where known, else the shorter end of
// the title's last (or first) separator, when what stays has three words or more.
std::string WithoutSiteName(const std::string& title, const std::string& site) {
  const std::string lower_title = AsciiLowered(title);
  const std::string lower_site = AsciiLowered(site);
  for (std::string_view separator : kSeparators) {
    if (!site.empty()) {
      if (lower_title.ends_with(std::string(separator) + lower_site)) {
        return title.substr(0, title.size() - separator.size() - site.size());
      }
      if (lower_title.starts_with(lower_site + std::string(separator))) {
        return title.substr(site.size() + separator.size());
      }
    }
  }
  for (std::string_view separator : kSeparators) {
    const size_t last = title.rfind(separator);
    if (last == std::string::npos || last == 0) continue;
    const std::string head = title.substr(0, last);
    const std::string tail = title.substr(last + separator.size());
    if (tail.size() < head.size() && std::count(tail.begin(), tail.end(), ' ') < 4) return head;
  }
  return title;
}

// Elements inside a line of text: a byline or a date is read across them.
bool IsInline(std::string_view name) {
  static constexpr std::string_view kInline[] = {
      "a",    "abbr", "b",     "bdi",  "cite",   "data", "em",  "font", "i", "label",
      "mark", "q",    "small", "span", "strong", "sub",  "sup", "time", "u", "img"};
  return std::find(std::begin(kInline), std::end(kInline), name) != std::end(kInline);
}

bool IsFrame(std::string_view name) {
  return name == "head" || name == "nav" || name == "footer" || name == "aside";
}

// The person's name at the start of `text`: words that start with a capital (or a letter
// beyond ASCII), initials and the particles of names, up to six words; "" when none.
//   "Jane Roe | 3 May 2019" -> "Jane Roe";  "Jane Roe and John Doe on May 3" -> "Jane Roe and John
//   Doe"
std::string NameAtStart(std::string_view text) {
  static constexpr std::string_view kParticles[] = {"and", "&",  "van", "von", "de", "der",
                                                    "da",  "la", "le",  "del", "di", "du"};
  size_t end = 0;
  size_t words = 0;
  size_t at = 0;
  while (at < text.size() && words < 8) {
    while (at < text.size() && text[at] == ' ') ++at;
    size_t stop = at;
    while (stop < text.size() && text[stop] != ' ' && text[stop] != ',') ++stop;
    const std::string_view word = text.substr(at, stop - at);
    if (word.empty()) break;
    const auto first = static_cast<unsigned char>(word[0]);
    const bool particle =
        std::find(std::begin(kParticles), std::end(kParticles), word) != std::end(kParticles);
    const bool capital = (first >= 'A' && first <= 'Z') || first >= 0xC0;
    if (!capital && !particle) break;
    if (word.find_first_of("0123456789|/•@:") != std::string_view::npos) break;
    if (capital) end = stop;
    ++words;
    at = stop;
    // A comma ends the name unless a further name follows ("A, B and C").
    if (at < text.size() && text[at] == ',') ++at;
  }
  if (words > 6) return {};
  return Fold(text.substr(0, end));
}

// The author a line of text names as its byline: "By Jane Roe", "May 3, 2019 by Jane Roe",
// "Written by Jane Roe"; "" when it names none.
std::string BylineAuthor(std::string_view line) {
  if (line.size() > 120) return {};
  const std::string lower = AsciiLowered(line);
  for (std::string_view lead :
       {"by ", "by: ", "written by ", "posted by ", "words by ", "author: "}) {
    if (lower.starts_with(lead)) return NameAtStart(line.substr(lead.size()));
  }
  // After a date: "Published May 3, 2019 by Jane Roe".
  const size_t by = lower.find(" by ");
  if (by != std::string::npos && by > 0 && lower.find_first_of("0123456789") < by &&
      (lower[by - 1] >= '0' && lower[by - 1] <= '9')) {
    return NameAtStart(line.substr(by + 4));
  }
  return {};
}

bool IsBylineLabel(std::string_view line) {
  std::string lower = AsciiLowered(line);
  while (!lower.empty() && (lower.back() == ':' || lower.back() == ' ')) lower.pop_back();
  return lower == "by" || lower == "written by" || lower == "author" || lower == "authored by" ||
         lower == "posted by" || lower == "words by" || lower == "written by:";
}

// `value` as a person's (or a team's) name: a byline's lead ("By", "Written by") and
// punctuation taken off; "" for what names nobody: a placeholder, an address, a sentence.
std::string PersonName(std::string value) {
  for (std::string_view by :
       {"written by", "posted by", "authored by", "author:", "by ", "von ", "par ", "por "}) {
    if (AsciiLowered(value).starts_with(by)) value = Fold(value.substr(by.size()));
  }
  const size_t start = value.find_first_not_of(":,;|-/ ");
  value = start == std::string::npos ? std::string() : value.substr(start);
  const std::string lower = AsciiLowered(value);
  const bool placeholder = lower == "undefined" || lower == "null" || lower == "admin" ||
                           lower == "unknown" || lower == "webmaster" ||
                           value.find_first_not_of("0123456789 ") == std::string::npos;
  if (value.size() > 200 || placeholder || LooksLikeAddress(value) || value.find('@') == 0 ||
      value.find("\xC2\xA9") != std::string::npos) {
    return {};
  }
  // A capital and then only words in lower case make a phrase ("View more posts"), and more
  // than six words with no comma to list several names a sentence.
  size_t words = 0;
  size_t lower_words = 0;
  for (size_t at = 0; at < value.size();) {
    const size_t end = std::min(value.find(' ', at), value.size());
    const std::string_view word = std::string_view(value).substr(at, end - at);
    static constexpr std::string_view kParticles[] = {"and", "van", "von", "de", "der", "da",
                                                      "la",  "le",  "del", "di", "du"};
    lower_words +=
        words > 0 && word[0] >= 'a' && word[0] <= 'z' &&
        std::find(std::begin(kParticles), std::end(kParticles), word) == std::end(kParticles);
    ++words;
    at = value.find_first_not_of(' ', end);
    if (at == std::string::npos) break;
  }
  const bool capital = !value.empty() && value[0] >= 'A' && value[0] <= 'Z';
  if ((words >= 3 && capital && lower_words + 1 == words) ||
      (words > 6 && value.find(',') == std::string::npos)) {
    return {};
  }
  return value;
}

// The words of a text for comparing titles: runs of letters and digits, lower case. Signs
// beyond ASCII (U+00A0-U+00BF such as "¶" and "§", "×", "÷", U+2000-U+206F such as "–" and
// "“") part words as ASCII punctuation does.
std::vector<std::string> TitleWords(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  ForEachCodePoint(text, [&](char32_t cp) {
    const bool sign =
        (cp >= 0xA0 && cp <= 0xBF) || cp == 0xD7 || cp == 0xF7 || (cp >= 0x2000 && cp <= 0x206F);
    if ((cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') ||
        (cp >= 0x80 && !sign)) {
      if (cp < 0x80) {
        word += AsciiLower(static_cast<char>(cp));
      } else {
        AppendUtf8(word, cp);
      }
    } else if (!word.empty()) {
      words.push_back(std::move(word));
      word.clear();
    }
  });
  if (!word.empty()) words.push_back(std::move(word));
  std::sort(words.begin(), words.end());
  return words;
}

// A heading's permalink sign at its end ("Install¶", "Install #") is no part of its text.
std::string WithoutPermalinkSign(std::string text) {
  for (bool cut = true; cut;) {
    cut = false;
    for (std::string_view sign : {"\xC2\xB6", "\xC2\xA7", " #"}) {
      if (text.ends_with(sign)) {
        text.resize(text.size() - sign.size());
        cut = true;
      }
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
  }
  return text;
}

// The word F1 of two titles: how far they say the same.
double WordAgreement(std::string_view a, std::string_view b) {
  const auto wa = TitleWords(a);
  const auto wb = TitleWords(b);
  if (wa.empty() || wb.empty()) return 0;
  std::vector<std::string> common;
  std::set_intersection(wa.begin(), wa.end(), wb.begin(), wb.end(), std::back_inserter(common));
  const double p = static_cast<double>(common.size()) / wa.size();
  const double r = static_cast<double>(common.size()) / wb.size();
  return p + r == 0 ? 0 : 2 * p * r / (p + r);
}

}  // namespace

PageMetaReader::PageMetaReader(PageBytes bytes,
                               std::function<std::string(std::string_view)> to_utf8)
    : bytes_(bytes), to_utf8_(std::move(to_utf8)) {}

std::string PageMetaReader::ToUtf8(std::string_view bytes) const {
  if (bytes_ == PageBytes::kUtf8) return ValidUtf8(bytes, false);
  if (bytes_ == PageBytes::kCp1251) {
    std::string out;
    for (const char c : bytes) {
      const auto u = static_cast<unsigned char>(c);
      const char32_t cp = u < 0x80 ? u : u == 0x98 ? U'?' : Cp1251CodePoint(u);
      AppendUtf8(out, cp);
    }
    return out;
  }
  return to_utf8_ ? ValidUtf8(to_utf8_(bytes), false) : ValidUtf8(bytes, true);
}

namespace {

// The parser's text in UTF-8: in the ISO-8859-1 mapping each character below U+0100 is a byte
// of the page, each above one an entity gave.
std::string ParsedToUtf8(std::string_view parsed, PageBytes bytes, const PageMetaReader& reader) {
  if (bytes != PageBytes::kLatin1) return ValidUtf8(parsed, false);
  std::string out;
  std::string run;
  ForEachCodePoint(parsed, [&](char32_t cp) {
    if (cp < 0x100) {
      run += static_cast<char>(cp);
      return;
    }
    out += reader.ToUtf8(run);
    run.clear();
    AppendUtf8(out, cp);
  });
  return out + reader.ToUtf8(run);
}

}  // namespace

void PageMetaReader::Keep(std::string key, std::string value, int source) {
  if (kept_bytes_ + value.size() > kMostKept) return;
  kept_bytes_ += value.size();
  facts_.push_back(Fact{std::move(key), std::move(value), source});
}

void PageMetaReader::BesideHeadline::Met(std::string value, size_t line, size_t headline_line) {
  if (headline_line == kNoLine) {
    before_line_ = line;
    before_ = std::move(value);
  } else if (value_.empty() && line <= headline_line + 10) {
    value_ = std::move(value);
  }
}

void PageMetaReader::BesideHeadline::HeadlineAt(size_t line) {
  if (before_line_ != kNoLine && before_line_ + 3 >= line) value_ = std::move(before_);
}

void PageMetaReader::Open(std::string key, int source) {
  captures_.push_back(Capture{std::move(key), source, depth_, {}});
}

void PageMetaReader::EndSegment() {
  if (segment_.empty()) return;
  const std::string line = Fold(ParsedToUtf8(segment_, bytes_, *this), 300);
  segment_.clear();
  if (line.empty() || frame_depth_ > 0) return;
  ++lines_;
  std::string byline;
  if (author_next_) {
    author_next_ = false;
    byline = NameAtStart(line);
  } else if (IsBylineLabel(line)) {
    author_next_ = true;
  } else {
    byline = BylineAuthor(line);
  }
  // A byline counts where it stands by the headline: elsewhere it most often credits
  // another article (a teaser, a related post) or a quotation.
  if (!byline.empty()) headline_byline_.Met(std::move(byline), lines_, headline_line_);
  if (shown_dates_.size() < 200 && line.find_first_of("0123456789") != std::string::npos) {
    const std::vector<std::string> days = DatesIn(line);
    // A short line that shows a date: the date line of an article, where it stands by the
    // headline.
    if (!days.empty() && line.size() <= 100)
      headline_date_.Met(days.front(), lines_, headline_line_);
    shown_dates_.insert(shown_dates_.end(), days.begin(), days.end());
  }
}

void PageMetaReader::StartElement(std::string_view name, const char* const* attributes) {
  ++depth_;
  listened_ = true;
  if (!IsInline(name)) EndSegment();
  if (IsFrame(name)) ++frame_depth_;
  const auto attribute = [&](std::string_view key) -> std::string {
    const char* value = Attribute(attributes, key);
    return value == nullptr ? std::string() : ParsedToUtf8(value, bytes_, *this);
  };
  if (name == "svg") ++svg_depth_;
  if (name == "article" || name == "main") ++article_depth_;
  if (name == "html") {
    lang_ = attribute("lang");
  } else if (name == "meta") {
    const std::string content = attribute("content");
    for (const char* key : {"property", "name", "http-equiv"}) {
      const std::string field = AsciiLowered(attribute(key));
      for (const MetaName& row : kMetaNames) {
        if (row.name == field) Keep(std::string(row.key), content, row.source);
      }
      // A link preview's labelled field: "twitter:label1" "Written by", "twitter:data1" the
      // name.
      if (field.starts_with("twitter:label") && IsBylineLabel(Fold(content))) {
        author_field_ = "twitter:data" + field.substr(13);
      } else if (!author_field_.empty() && field == author_field_) {
        Keep("author", content, kMetaName);
      }
    }
  } else if (name == "link") {
    if (HasToken(attribute("rel"), "canonical")) Keep("canonical", attribute("href"), kMetaName);
  } else if (name == "script") {
    in_json_ld_ = AsciiLowered(attribute("type")).find("ld+json") != std::string::npos;
    script_.clear();
  } else if (name == "title" && svg_depth_ == 0) {
    Open("title", kTitle);
  } else if (name == "h1") {
    if (headline_line_ == kNoLine) {
      headline_line_ = lines_;
      headline_date_.HeadlineAt(lines_);
      headline_time_.HeadlineAt(lines_);
      headline_byline_.HeadlineAt(lines_);
    }
    Open("title", article_depth_ > 0 ? kHeadingInArticle : kHeading);
  } else if (name == "time") {
    const std::string when = attribute("datetime");
    if (!when.empty()) headline_time_.Met(when, lines_, headline_line_);
  } else if (name == "a" && HasToken(attribute("rel"), "author")) {
    Open("author", kRelAuthor);
  }
  if (const char* value = Attribute(attributes, "class"); value != nullptr) {
    const std::string classes = AsciiLowered(value);
    // Most elements have a class and few an author's: one search rules out the others.
    if (classes.find("author") != std::string::npos &&
        classes.find("comment") == std::string::npos) {
      if (classes.find("name") != std::string::npos) {
        Open("author", kAuthorClass);
      } else if (std::any_of(std::begin(kAuthorClasses), std::end(kAuthorClasses),
                             [&](std::string_view word) { return HasToken(classes, word); })) {
        Open("author", kAuthorWord);
      }
    }
  }
  const char* prop = Attribute(attributes, "itemprop");
  if (prop != nullptr) {
    // Inside an item that is itself a property ("author"), its properties read as
    // "author.name".
    const std::string scoped =
        (scopes_.empty() || scopes_.back().empty() ? "" : scopes_.back() + ".") +
        AsciiLowered(prop);
    for (const ItemProp& row : kItemProps) {
      if (row.prop != scoped) continue;
      std::string value = attribute("content");
      if (value.empty()) value = attribute("datetime");
      const bool scope = Attribute(attributes, "itemscope") != nullptr;
      if (!value.empty()) {
        Keep(std::string(row.key), value, row.source);
      } else if (!scope) {
        Open(std::string(row.key), row.source);
      }
    }
  }
  if (Attribute(attributes, "itemscope") != nullptr) {
    scopes_.push_back(prop == nullptr ? std::string() : AsciiLowered(prop));
    scope_depths_.push_back(depth_);
  }
}

void PageMetaReader::EndElement(std::string_view name) {
  if (!IsInline(name)) EndSegment();
  if (IsFrame(name) && frame_depth_ > 0) --frame_depth_;
  if (name == "svg" && svg_depth_ > 0) --svg_depth_;
  if ((name == "article" || name == "main") && article_depth_ > 0) --article_depth_;
  if (name == "script" && in_json_ld_) {
    json_ld_.push_back(std::move(script_));
    script_.clear();
    in_json_ld_ = false;
  }
  while (!captures_.empty() && captures_.back().depth >= depth_) {
    Capture capture = std::move(captures_.back());
    captures_.pop_back();
    Keep(std::move(capture.key), ParsedToUtf8(capture.text, bytes_, *this), capture.source);
  }
  while (!scope_depths_.empty() && scope_depths_.back() >= depth_) {
    scope_depths_.pop_back();
    scopes_.pop_back();
  }
  if (depth_ > 0) --depth_;
}

void PageMetaReader::Characters(std::string_view text) {
  if (segment_.size() < 400) segment_.append(text.substr(0, 400));
  for (Capture& capture : captures_) {
    const size_t room = kMostOneText - std::min(kMostOneText, capture.text.size());
    capture.text.append(text.substr(0, room));
  }
}

void PageMetaReader::ScriptText(std::string_view text) {
  if (!in_json_ld_) return;
  size_t total = script_.size();
  for (const std::string& block : json_ld_) total += block.size();
  script_.append(text.substr(0, kMostJsonLd - std::min(kMostJsonLd, total)));
}

namespace {

// The title: the page's first h1 where a metadata title (JSON-LD, OpenGraph, <meta>,
// microdata, <title>) says in part the same or holds all its words; else the metadata title the
// most others agree with, the more trusted first; where none agrees with another, an h1 inside an
// article before them. A title that is only the site's name counts for nothing, and the site's name
// is taken off each.
std::string ChooseTitle(const std::vector<PageMetaReader::Fact>& facts, const std::string& site) {
  std::string head;  // the first h1, one inside an article first
  int head_source = 0;
  std::vector<std::pair<int, std::string>> others;  // the first title of each other source
  for (const auto& fact : facts) {
    if (fact.key != "title") continue;
    const bool is_head = fact.source == kHeading || fact.source == kHeadingInArticle;
    if (is_head ? !head.empty() : (!others.empty() && others.back().first == fact.source)) continue;
    std::string value = WithoutPermalinkSign(Fold(DecodeReferences(fact.value)));
    // "Headline | Section | Site": the site's part may come in several pieces.
    for (std::string last; last != value && !value.empty();) {
      last = value;
      value = Fold(WithoutSiteName(value, site));
    }
    if (value.empty() || (!site.empty() && AsciiLowered(value) == AsciiLowered(site))) continue;
    if (is_head) {
      head = std::move(value);
      head_source = fact.source;
    } else {
      others.emplace_back(fact.source, std::move(value));
    }
  }
  // The h1 where a metadata title says in part the same, or says all of it and more (the
  // headline padded for search engines: "Headlamps" and "Headlamps for Camping & Hiking").
  const auto shown_in = [&](const std::string& other) {
    const std::vector<std::string> head_words = TitleWords(head);
    const std::vector<std::string> other_words = TitleWords(other);
    return WordAgreement(head, other) >= 0.5 ||
           (!head_words.empty() && std::includes(other_words.begin(), other_words.end(),
                                                 head_words.begin(), head_words.end()));
  };
  if (!head.empty() &&
      (others.empty() || std::any_of(others.begin(), others.end(),
                                     [&](const auto& other) { return shown_in(other.second); }))) {
    return head;
  }
  size_t best = 0;
  int best_votes = -1;
  for (size_t i = 0; i < others.size(); ++i) {
    int votes = 0;
    for (size_t j = 0; j < others.size(); ++j) {
      votes += i != j && WordAgreement(others[i].second, others[j].second) >= 0.8;
    }
    if (votes > best_votes) {
      best = i;
      best_votes = votes;
    }
  }
  if (best_votes < 1 && head_source == kHeadingInArticle) return head;
  return others.empty() ? std::string() : others[best].second;
}

}  // namespace

PageMeta PageMetaReader::Result(std::string_view url, std::string_view text) const {
  std::vector<Fact> facts;
  std::string json_site;
  for (const std::string& block : json_ld_) {
    const Json parsed = ParseJsonLd(ParsedToUtf8(block, bytes_, *this));
    std::unordered_map<std::string, const Json*> ids;
    ForEachNode(parsed, 0, [&](const Json& node) {
      const auto id = node.find("@id");
      if (id != node.end() && id->is_string()) ids.emplace(id->get<std::string>(), &node);
    });
    ForEachNode(parsed, 0, [&](const Json& node) {
      bool is_site = false;
      const int rank = NodeRank(node, &is_site);
      const auto get = [&](const char* key) {
        const auto found = node.find(key);
        return found == node.end() ? std::string() : StringOf(*found);
      };
      if (is_site && json_site.empty()) json_site = get("name");
      if (rank == 0) return;
      const auto add = [&](const char* key, std::string value) {
        if (!value.empty()) facts.push_back(Fact{key, DecodeReferences(value), rank});
      };
      add("title", get("headline"));
      add("title", get("name"));
      add("description", get("description"));
      for (const char* key : {"author", "creator"}) {
        const auto found = node.find(key);
        if (found != node.end()) add("author", NameOf(*found, ids));
      }
      add("published", get("datePublished"));
      add("published", get("dateCreated"));
      add("published", get("uploadDate"));
      add("modified", get("dateModified"));
      add("canonical", AddressOf(node));
      add("language", get("inLanguage"));
      const auto publisher = node.find("publisher");
      if (publisher != node.end()) add("site_name", NameOf(*publisher, ids));
    });
  }
  if (!json_site.empty()) facts.push_back(Fact{"site_name", json_site, kJsonLdPage});
  if (!headline_byline_.Value().empty()) {
    facts.push_back(Fact{"author", headline_byline_.Value(), kBylineByHeadline});
  }
  facts.insert(facts.end(), facts_.begin(), facts_.end());
  std::stable_sort(facts.begin(), facts.end(),
                   [](const Fact& a, const Fact& b) { return a.source < b.source; });

  // The best usable value of each field.
  const auto best = [&](std::string_view key, const auto& usable) -> std::pair<std::string, int> {
    for (const Fact& fact : facts) {
      if (fact.key != key) continue;
      std::string value = usable(Fold(DecodeReferences(fact.value)));
      if (!value.empty()) return {value, fact.source};
    }
    return {};
  };
  const auto as_is = [](std::string value) { return value; };

  PageMeta meta;
  meta.site_name = best("site_name", as_is).first;
  meta.title = ChooseTitle(facts, meta.site_name);
  meta.description = best("description", as_is).first;
  meta.author = best("author", PersonName).first;
  const auto shown = [&](const std::string& day) {
    return !day.empty() && std::find(shown_dates_.begin(), shown_dates_.end(), day.substr(0, 10)) !=
                               shown_dates_.end();
  };
  // A web page's own dates (JSON-LD WebPage) are most often its system's, not its article's:
  // they count only where the page shows them.
  const auto dated = [&](std::string_view key) {
    for (const Fact& fact : facts) {
      if (fact.key != key) continue;
      std::string day = NormalizeDate(Fold(fact.value));
      if (day.empty() || (fact.source == kJsonLdPage && !shown(day))) continue;
      return day;
    }
    return std::string();
  };
  meta.published = dated("published");
  meta.modified = dated("modified");
  // The page's time element by its headline, where the metadata gives no date.
  if (meta.published.empty()) meta.published = NormalizeDate(headline_time_.Value());
  // The date the page shows by its headline beats a date the page does not show, unless it is
  // the day the page was last changed: then the metadata's first publication stands.
  const std::string& by_headline = headline_date_.Value();
  const bool update_shown = !meta.published.empty() && !meta.modified.empty() &&
                            meta.modified.substr(0, 10) == by_headline;
  if (!by_headline.empty() && !shown(meta.published) && !update_shown) {
    meta.published = by_headline;
  }
  const std::string canonical = best("canonical", as_is).first;
  meta.canonical = canonical.empty() ? std::string() : Resolve(url, canonical);
  std::string hint = lang_;
  if (hint.empty()) hint = best("language", as_is).first;
  meta.language = TextLanguage(text, hint);
  return meta;
}

std::string TextLanguage(std::string_view text, std::string_view hint) {
  std::string tag =
      AsciiLowered(hint.substr(0, std::min(hint.find_first_of("-_ ,;"), hint.size())));
  if (tag.size() != 2 ||
      !std::all_of(tag.begin(), tag.end(), [](char c) { return c >= 'a' && c <= 'z'; })) {
    tag.clear();
  }
  // The first 64 KiB tell the language as well as the whole, at a fraction of the time.
  const std::string valid = ValidUtf8(text.substr(0, 64 << 10), false);
  CLD2::CLDHints hints{
      nullptr, nullptr, CLD2::UNKNOWN_ENCODING,
      tag.empty() ? CLD2::UNKNOWN_LANGUAGE : CLD2::GetLanguageFromName(tag.c_str())};
  CLD2::Language top[3];
  int percent[3];
  double score[3];
  int text_bytes = 0;
  bool reliable = false;
  int valid_prefix = 0;
  const CLD2::Language language = CLD2::ExtDetectLanguageSummaryCheckUTF8(
      valid.data(), static_cast<int>(valid.size()), true, &hints, 0, top, percent, score, nullptr,
      &text_bytes, &reliable, &valid_prefix);
  if (language == CLD2::UNKNOWN_LANGUAGE || language == CLD2::TG_UNKNOWN_LANGUAGE ||
      (!reliable && !tag.empty())) {
    return tag;
  }
  std::string code = CLD2::LanguageCode(language);
  code = code.substr(0, std::min(code.find('-'), code.size()));
  if (code == "iw") return "he";
  if (code == "jw") return "jv";
  return code.size() == 2 ? code : tag;
}

PageMeta ReadPageMeta(std::string_view answer, std::string_view url, std::string* main_text) {
  // A page that is not UTF-8 after all is read byte by byte, a byte that starts no UTF-8
  // sequence as the ISO-8859-1 letter it is.
  bool utf8 = true;
  for (size_t i = 0; i < answer.size() && utf8; i += std::max<size_t>(1, Utf8Length(answer, i))) {
    utf8 = Utf8Length(answer, i) > 0;
  }
  const PageBytes bytes = utf8 ? PageBytes::kUtf8 : PageBytes::kLatin1;
  PageMetaReader reader(bytes);
  std::string text = reader.ToUtf8(ExtractMainText(answer, bytes, &reader));
  PageMeta meta = reader.Result(url, text);
  if (main_text != nullptr) *main_text = std::move(text);
  return meta;
}

}  // namespace korvane
