// The main-text tree: libxml2's HTML parser driven through SAX callbacks into a compact tree.
#include "text/main_text_tree.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "base/cp1251.h"
#include "base/lazy_libraries.h"
#include "text/html_parse.h"

namespace korvane::main_text {
namespace {

enum class Action : uint8_t { kKeep, kDrop };

struct TagInfo {
  std::string_view name;
  Kind kind;
  Action action;
};

// Sorted by name. Elements not listed are inline.
constexpr TagInfo kTags[] = {
    {"a", Kind::kA, Action::kKeep},
    {"address", Kind::kBlock, Action::kKeep},
    {"applet", Kind::kOmitted, Action::kKeep},
    {"article", Kind::kArticle, Action::kKeep},
    {"aside", Kind::kAside, Action::kKeep},
    {"audio", Kind::kOmitted, Action::kKeep},
    {"blockquote", Kind::kBlockquote, Action::kKeep},
    {"body", Kind::kBody, Action::kKeep},
    {"br", Kind::kBr, Action::kKeep},
    {"button", Kind::kOmitted, Action::kKeep},
    {"canvas", Kind::kOmitted, Action::kKeep},
    {"caption", Kind::kBlock, Action::kKeep},
    {"center", Kind::kBlock, Action::kKeep},
    {"datalist", Kind::kOmitted, Action::kKeep},
    {"dd", Kind::kDd, Action::kKeep},
    {"details", Kind::kBlock, Action::kKeep},
    {"dialog", Kind::kDialog, Action::kKeep},
    {"div", Kind::kDiv, Action::kKeep},
    {"dl", Kind::kDl, Action::kKeep},
    {"dt", Kind::kDt, Action::kKeep},
    {"embed", Kind::kOmitted, Action::kKeep},
    {"fieldset", Kind::kBlock, Action::kKeep},
    {"figcaption", Kind::kOmitted, Action::kKeep},
    {"figure", Kind::kFigure, Action::kKeep},
    {"footer", Kind::kFooter, Action::kKeep},
    {"form", Kind::kForm, Action::kKeep},
    {"frameset", Kind::kOmitted, Action::kKeep},
    {"h1", Kind::kHeading, Action::kKeep},
    {"h2", Kind::kHeading, Action::kKeep},
    {"h3", Kind::kHeading, Action::kKeep},
    {"h4", Kind::kHeading, Action::kKeep},
    {"h5", Kind::kHeading, Action::kKeep},
    {"h6", Kind::kHeading, Action::kKeep},
    {"head", Kind::kInline, Action::kDrop},
    {"header", Kind::kHeader, Action::kKeep},
    {"hr", Kind::kHr, Action::kKeep},
    {"iframe", Kind::kOmitted, Action::kKeep},
    {"img", Kind::kImg, Action::kKeep},
    {"input", Kind::kOmitted, Action::kKeep},
    {"legend", Kind::kBlock, Action::kKeep},
    {"li", Kind::kLi, Action::kKeep},
    {"main", Kind::kMain, Action::kKeep},
    {"map", Kind::kOmitted, Action::kKeep},
    {"math", Kind::kOmitted, Action::kKeep},
    {"menu", Kind::kMenu, Action::kKeep},
    {"nav", Kind::kNav, Action::kKeep},
    {"noembed", Kind::kOmitted, Action::kKeep},
    {"noframes", Kind::kOmitted, Action::kKeep},
    {"noscript", Kind::kOmitted, Action::kKeep},
    {"object", Kind::kOmitted, Action::kKeep},
    {"ol", Kind::kOl, Action::kKeep},
    {"optgroup", Kind::kOmitted, Action::kKeep},
    {"option", Kind::kOmitted, Action::kKeep},
    {"p", Kind::kP, Action::kKeep},
    {"pre", Kind::kPre, Action::kKeep},
    {"script", Kind::kInline, Action::kDrop},
    {"section", Kind::kSection, Action::kKeep},
    {"select", Kind::kOmitted, Action::kKeep},
    {"style", Kind::kInline, Action::kDrop},
    {"summary", Kind::kBlock, Action::kKeep},
    {"svg", Kind::kOmitted, Action::kKeep},
    {"table", Kind::kTable, Action::kKeep},
    {"td", Kind::kTd, Action::kKeep},
    {"template", Kind::kOmitted, Action::kKeep},
    {"textarea", Kind::kOmitted, Action::kKeep},
    {"th", Kind::kTh, Action::kKeep},
    {"title", Kind::kOmitted, Action::kKeep},
    {"tr", Kind::kTr, Action::kKeep},
    {"ul", Kind::kUl, Action::kKeep},
    {"video", Kind::kOmitted, Action::kKeep},
};

// The entries of kTags by the first byte of their names: [begin, end).
constexpr auto kTagsByFirstByte = [] {
  std::array<std::pair<uint16_t, uint16_t>, 256> ranges{};
  for (size_t k = 0; k < std::size(kTags); ++k) {
    auto& range = ranges[static_cast<unsigned char>(kTags[k].name[0])];
    if (range.second == 0) range.first = static_cast<uint16_t>(k);
    range.second = static_cast<uint16_t>(k + 1);
  }
  return ranges;
}();

const TagInfo* FindTag(std::string_view name) {
  if (name.empty()) return nullptr;
  const auto [begin, end] = kTagsByFirstByte[static_cast<unsigned char>(name[0])];
  for (size_t k = begin; k < end; ++k) {
    if (kTags[k].name == name) return &kTags[k];
  }
  return nullptr;
}

// Words of class and id values that mark page frame, and words that mark content. A word
// matches anywhere inside one of the value's tokens (letters and digits), except the short
// ones of kFrameTokenList, which must be a whole token.
constexpr std::string_view kFrameWordList[] = {
    "advert",  "author",     "legend",   "caption",    "credit",    "embed",     "agegate",
    "banner",  "breadcrumb", "carousel", "comment",    "community", "consent",   "cookie",
    "crumb",   "disclaimer", "dropdown", "follow",     "gdpr",      "login",     "masthead",
    "menu",    "modal",      "nav",      "newsletter", "offcanvas", "overlay",   "pagination",
    "pager",   "popular",    "popup",    "promo",      "rating",    "recommend", "related",
    "replies", "rss",        "share",    "sharing",    "sidebar",   "signup",    "skip",
    "social",  "sponsor",    "subscri",  "tagcloud",   "toolbar",   "trending",  "paywall",
    "donat",   "survey",     "feedback", "lightbox",   "checkout",  "register",
};
constexpr std::string_view kFrameTokenList[] = {"ad",  "ads",  "tags",  "tag", "sr",
                                                "bio", "form", "tools", "cart"};
// Words that mark frame only where the element is short or made of links: an article's
// header or meta line is frame, a container named after the page's header is not always.
constexpr std::string_view kWeakFrameWordList[] = {
    "byline", "contact", "meta",   "date",     "timestamp", "header",
    "footer", "widget",  "teaser", "breaking", "copyright", "shop",
};
constexpr std::string_view kWeakFrameTokenList[] = {"top", "bottom", "more", "foot", "extra"};
constexpr std::string_view kContentWordList[] = {"article", "content", "main", "post", "entry",
                                                 "story",   "body",    "text", "blog", "prose"};
constexpr std::string_view kFrameRoles[] = {"banner", "complementary", "contentinfo", "dialog",
                                            "menu",   "menubar",       "navigation",  "search",
                                            "alert",  "toolbar",       "tablist"};

// Every byte with A-Z lower-cased. Attribute words are ASCII: a locale's case mapping has no
// say in them.
constexpr std::array<char, 256> kLowerAscii = [] {
  std::array<char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[c] = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return table;
}();

// A byte of a class or id word, lower-cased, or 0 for a byte that separates words.
constexpr std::array<char, 256> kWordBytes = [] {
  std::array<char, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const char lower = kLowerAscii[c];
    if ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9')) table[c] = lower;
  }
  return table;
}();

// The word lists above as one index: each word filed under its first two bytes (a word of
// one byte under that byte), with the mark it gives and how it must match a token. A token
// is then read once, position by position, against the few words filed under its bytes. A
// word with a byte no token holds (a capital, a hyphen) matches nothing and is not filed.
class WordIndex {
 public:
  enum class Match : uint8_t { kWhole, kInside, kStart };

  WordIndex() {
    for (std::string_view w : kFrameTokenList) Add(w, kFrameWords, Match::kWhole);
    for (std::string_view w : kFrameWordList) Add(w, kFrameWords, Match::kInside);
    for (std::string_view w : kWeakFrameTokenList) Add(w, kWeakFrameWords, Match::kWhole);
    for (std::string_view w : kWeakFrameWordList) Add(w, kWeakFrameWords, Match::kInside);
    for (std::string_view w : kContentWordList) Add(w, kContentWords, Match::kStart);
    // Filed by key, each key's words in a row.
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.key < b.key; });
    for (size_t k = 0; k < entries_.size(); ++k) {
      Range& range = ranges_[entries_[k].key];
      if (range.end == 0) range.begin = static_cast<uint16_t>(k);
      range.end = static_cast<uint16_t>(k + 1);
    }
  }

  // The marks of one token (lower-cased word bytes).
  uint8_t Marks(std::string_view token) const {
    uint8_t marks = empty_marks_;
    const size_t n = token.size();
    for (size_t p = 0; p < n; ++p) {
      const auto first = static_cast<unsigned char>(token[p]);
      if (one_byte_words_) marks |= Check(Key(first), token, p);
      if (p + 1 < n) {
        const uint16_t key = Key(first, static_cast<unsigned char>(token[p + 1]));
        if (ranges_[key].end != 0) marks |= Check(key, token, p);
      }
    }
    return marks;
  }

 private:
  struct Entry {
    uint16_t key;
    uint8_t mark;
    Match match;
    std::string_view word;
  };
  struct Range {
    uint16_t begin = 0;
    uint16_t end = 0;
  };
  // Word bytes numbered 0-35: a-z, then 0-9.
  static constexpr size_t kSlots = 36;
  static constexpr size_t kKeys = kSlots + kSlots * kSlots;
  static uint16_t Slot(unsigned char c) { return c >= 'a' ? c - 'a' : c - '0' + 26; }
  static uint16_t Key(unsigned char first) { return Slot(first); }
  static uint16_t Key(unsigned char first, unsigned char second) {
    return static_cast<uint16_t>(kSlots + Slot(first) * kSlots + Slot(second));
  }

  void Add(std::string_view word, uint8_t mark, Match match) {
    if (word.empty()) {
      // Inside and at the start of every token; whole only of an empty one, which is none.
      if (match != Match::kWhole) empty_marks_ |= mark;
      return;
    }
    for (const char c : word) {
      if (kWordBytes[static_cast<unsigned char>(c)] != c) return;
    }
    const auto first = static_cast<unsigned char>(word[0]);
    const uint16_t key =
        word.size() == 1 ? Key(first) : Key(first, static_cast<unsigned char>(word[1]));
    entries_.push_back(Entry{key, mark, match, word});
    one_byte_words_ |= word.size() == 1;
  }

  uint8_t Check(uint16_t key, std::string_view token, size_t p) const {
    const Range range = ranges_[key];
    uint8_t marks = 0;
    for (size_t k = range.begin; k < range.end; ++k) {
      const Entry& e = entries_[k];
      if (e.match != Match::kInside && p != 0) continue;
      if (e.match == Match::kWhole && e.word.size() != token.size()) continue;
      if (p + e.word.size() <= token.size() && token.compare(p, e.word.size(), e.word) == 0) {
        marks |= e.mark;
      }
    }
    return marks;
  }

  std::vector<Entry> entries_;
  std::array<Range, kKeys> ranges_{};
  uint8_t empty_marks_ = 0;
  bool one_byte_words_ = false;
};

// The marks the words of one attribute value give, lower-cased on the way. A token longer
// than 64 bytes is read by its first 64.
uint8_t WordMarks(std::string_view value) {
  static const WordIndex index;
  uint8_t marks = 0;
  std::array<char, 64> token{};
  size_t i = 0;
  while (i < value.size()) {
    size_t n = 0;
    for (; i < value.size(); ++i) {
      const char c = kWordBytes[static_cast<unsigned char>(value[i])];
      if (c == 0) break;
      if (n < token.size()) token[n++] = c;
    }
    ++i;
    if (n == 0) continue;
    marks |= index.Marks(std::string_view(token.data(), n));
  }
  return marks;
}

// Calls `f` with each of the blank-separated names of a class or id value.
template <typename F>
void ForEachName(std::string_view value, F&& f) {
  size_t at = 0;
  while (at < value.size()) {
    size_t end = value.find_first_of(" \t\n\r\f", at);
    if (end == std::string_view::npos) end = value.size();
    if (end > at) f(value.substr(at, end - at));
    at = end + 1;
  }
}

// The marks of a class or id value, name by name. Within one name a frame word outweighs a
// content word: "article-related" or "post-author-box" name a part of the article that is
// frame; a content word beside a frame word counts only from a name of its own.
uint8_t NameMarks(std::string_view value) {
  uint8_t marks = 0;
  ForEachName(value, [&](std::string_view name) {
    uint8_t name_marks = WordMarks(name);
    if ((name_marks & kFrameWords) != 0) name_marks &= static_cast<uint8_t>(~kContentWords);
    marks |= name_marks;
  });
  return marks;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (kLowerAscii[static_cast<unsigned char>(a[i])] != b[i]) return false;
  }
  return true;
}

// True when the class list `value` holds the class `name` (in lower case) by itself.
bool HasName(std::string_view value, std::string_view name) {
  bool found = false;
  ForEachName(value, [&](std::string_view each) { found |= EqualsNoCase(each, name); });
  return found;
}

bool IsStyleBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// True when `style`, its blanks left out and lower-cased, holds `declaration` (lower case,
// no blanks) at `from`, a byte that is not blank.
bool StyleHoldsAt(std::string_view style, size_t from, std::string_view declaration) {
  size_t k = 0;
  for (size_t i = from; i < style.size() && k < declaration.size(); ++i) {
    if (IsStyleBlank(style[i])) continue;
    if (kLowerAscii[static_cast<unsigned char>(style[i])] != declaration[k]) return false;
    ++k;
  }
  return k == declaration.size();
}

// True when a style attribute hides the element: its text, blanks left out and lower-cased,
// holds display:none or visibility:hidden.
bool StyleHides(std::string_view style) {
  for (size_t i = 0; i < style.size(); ++i) {
    if (IsStyleBlank(style[i])) continue;
    if (StyleHoldsAt(style, i, "display:none") || StyleHoldsAt(style, i, "visibility:hidden")) {
      return true;
    }
  }
  return false;
}

struct AttributeReading {
  bool hidden = false;   // by the style or aria-hidden
  bool toggled = false;  // by a class name or the hidden attribute, as a closed tab is
  uint8_t marks = 0;
  uint32_t shape = 2166136261U;  // FNV-1a over the class names, digits left out
  bool spans = false;            // colspan or rowspan above 1
  std::string_view href;         // as the parser gives it: UTF-8
  std::string_view class_value;
};

void AddToShape(uint32_t& shape, std::string_view bytes) {
  for (const char c : bytes) {
    if ((c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == '\n') continue;
    shape = (shape ^ static_cast<unsigned char>(c)) * 16777619U;
  }
}

// True when a colspan or rowspan value asks for more than one cell.
bool SpansCells(std::string_view value) {
  size_t k = 0;
  while (k < value.size() && (value[k] == ' ' || value[k] == '0')) ++k;
  if (k == value.size() || value[k] < '1' || value[k] > '9') return false;
  return value[k] != '1' || (k + 1 < value.size() && value[k + 1] >= '0' && value[k + 1] <= '9');
}

AttributeReading ReadAttributes(const xmlChar** atts) {
  AttributeReading reading;
  if (atts == nullptr) return reading;
  for (size_t i = 0; atts[i] != nullptr; i += 2) {
    const std::string_view name(reinterpret_cast<const char*>(atts[i]));
    const std::string_view value =
        atts[i + 1] == nullptr ? std::string_view() : reinterpret_cast<const char*>(atts[i + 1]);
    if (name == "class" || name == "id") {
      reading.marks |= NameMarks(value);
      if (name == "class") {
        reading.toggled |= HasName(value, "hidden") || HasName(value, "hide");
        AddToShape(reading.shape, value);
        reading.class_value = value;
      }
    } else if (name == "href") {
      reading.href = value;
    } else if (name == "colspan" || name == "rowspan") {
      reading.spans |= SpansCells(value);
    } else if (name == "hidden") {
      reading.toggled = true;
    } else if (name == "aria-hidden") {
      reading.hidden |= EqualsNoCase(value, "true");
    } else if (name == "style") {
      reading.hidden |= StyleHides(value);
    } else if (name == "role") {
      for (std::string_view role : kFrameRoles) {
        if (EqualsNoCase(value, role)) reading.marks |= kFrameRole;
      }
      if (EqualsNoCase(value, "main") || EqualsNoCase(value, "article")) {
        reading.marks |= kArticleBody;
      }
    } else if (name == "itemprop") {
      if (EqualsNoCase(value, "articlebody")) reading.marks |= kArticleBody;
    } else if (name == "aria-label") {
      reading.marks |= WordMarks(value) & (kFrameWords | kWeakFrameWords);
    }
  }
  return reading;
}

// The byte of the character `cp` in the page's character set, or -1 when the set has none.
int PageByte(char32_t cp, PageBytes bytes) {
  if (bytes == PageBytes::kLatin1) return cp < 0x100 ? static_cast<int>(cp) : -1;
  return cp == 0x98 ? 0x98 : CodePointToCp1251(cp);
}

// Appends the character `cp` in the page's character set.
void AppendChar(std::string& out, char32_t cp, PageBytes bytes) {
  if (bytes == PageBytes::kUtf8) {
    AppendUtf8(out, cp);
    return;
  }
  const int byte = PageByte(cp, bytes);
  if (byte >= 0) {
    out += static_cast<char>(byte);
  } else {
    out += "&#";
    out += std::to_string(static_cast<uint32_t>(cp));
    out += ';';
  }
}

bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// White space beyond ASCII: the Unicode space separators. U+00A0 only where it is a character
// of its own; as a byte of ISO-8859-1 it may be part of a UTF-8 page.
bool IsWideSpace(char32_t cp, PageBytes bytes) {
  if (cp == 0xA0) return bytes != PageBytes::kLatin1;
  return cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 ||
         cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

constexpr uint32_t kNoNode = UINT32_MAX;

// The Markdown style of an element that kTags does not list.
Style StyleOf(std::string_view name) {
  if (name == "em" || name == "i") return kEmphasis;
  if (name == "strong" || name == "b") return kStrong;
  if (name == "code" || name == "kbd" || name == "samp" || name == "tt") return kCode;
  return kPlain;
}

// The x of the first "language-x" or "lang-x" class, else "".
std::string_view CodeLanguage(std::string_view class_value) {
  std::string_view language;
  ForEachName(class_value, [&](std::string_view name) {
    for (const std::string_view prefix :
         {std::string_view("language-"), std::string_view("lang-")}) {
      if (language.empty() && name.size() > prefix.size() &&
          name.substr(0, prefix.size()) == prefix) {
        language = name.substr(prefix.size());
      }
    }
  });
  return language;
}

// Appends an href or a class name, UTF-8 from the parser, in the page's character set; a
// character the set cannot hold is percent-encoded, as an address would carry it.
void AppendAttribute(std::string& out, std::string_view value, PageBytes bytes) {
  if (bytes == PageBytes::kUtf8) {
    out += value;
    return;
  }
  for (size_t i = 0; i < value.size();) {
    const auto c = static_cast<unsigned char>(value[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    char32_t cp = c & (0x7F >> length);
    for (size_t k = 1; k < length && i + k < value.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(value[i + k]) & 0x3F);
    }
    const int byte = PageByte(cp, bytes);
    if (byte >= 0) {
      out += static_cast<char>(byte);
    } else {
      constexpr char kHex[] = "0123456789ABCDEF";
      for (size_t k = 0; k < length && i + k < value.size(); ++k) {
        const auto u = static_cast<unsigned char>(value[i + k]);
        out += '%';
        out += kHex[u >> 4];
        out += kHex[u & 15];
      }
    }
    i += length;
  }
}

class Builder {
 public:
  Builder(Tree& tree, PageBytes bytes, ParseListener* listener)
      : tree_(tree), bytes_(bytes), listener_(listener) {
    tree_.nodes.push_back(Node{0, 0, 0, 0, Kind::kRoot, 0});
  }

  // Stops the parse once the page nests deeper than a browser lays out, or once the errors
  // that cost libxml2 a search of its open elements (an end tag nothing opened, a misplaced
  // body) add up to more than a few times the page's size: either keeps the parse linear.
  void Watch(xmlParserCtxtPtr ctxt, size_t document_size) {
    ctxt_ = ctxt;
    error_budget_ = document_size * 16 + 1'000'000;
  }
  void Error() {
    const size_t cost = open_.size() + skip_ + 1;
    if (cost >= error_budget_) {
      Stop();
    } else {
      error_budget_ -= cost;
    }
  }

  void Start(const xmlChar* name, const xmlChar** atts) {
    if (open_.size() + skip_ >= kMaxParseDepth) {
      Stop();
      return;
    }
    if (listener_ != nullptr) {
      listener_->StartElement(reinterpret_cast<const char*>(name),
                              reinterpret_cast<const char* const*>(atts));
    }
    if (skip_ > 0) {
      ++skip_;
      return;
    }
    const TagInfo* info = FindTag(reinterpret_cast<const char*>(name));
    const AttributeReading reading = ReadAttributes(atts);
    if (info != nullptr && info->action == Action::kDrop) {
      skip_ = 1;
      return;
    }
    if (open_.size() >= kMaxTreeDepth) {
      open_.push_back(kNoNode);
      return;
    }
    const auto index = static_cast<uint32_t>(tree_.nodes.size());
    Node node;
    node.parent = Current();
    node.kind = info != nullptr ? info->kind : Kind::kInline;
    node.marks = reading.marks | (reading.hidden || reading.toggled ? kHidden : 0) |
                 (reading.toggled && !reading.hidden ? kToggled : 0);
    node.shape = reading.shape;
    AddToShape(node.shape, reinterpret_cast<const char*>(name));
    ReadMarkdownFields(node, reinterpret_cast<const char*>(name), reading);
    tree_.nodes.push_back(node);
    open_.push_back(index);
    open_nodes_.push_back(index);
    if (node.kind == Kind::kPre) ++pre_;
  }

  void End(const xmlChar* name) {
    if (listener_ != nullptr && !stopped_)
      listener_->EndElement(reinterpret_cast<const char*>(name));
    if (skip_ > 0) {
      --skip_;
      return;
    }
    if (open_.empty()) return;
    const uint32_t index = open_.back();
    open_.pop_back();
    if (index == kNoNode) return;
    open_nodes_.pop_back();
    Node& node = tree_.nodes[index];
    if (node.kind == Kind::kPre) --pre_;
    const bool empty = index + 1 == tree_.nodes.size();
    const bool is_break = node.kind == Kind::kBr || node.kind == Kind::kHr;
    if (empty && !is_break && node.kind != Kind::kImg) {
      tree_.nodes.pop_back();
      return;
    }
    // Breaks in a row break the line once.
    if (is_break && index > 0) {
      const Node& before = tree_.nodes[index - 1];
      if ((before.kind == Kind::kBr || before.kind == Kind::kHr) && before.parent == node.parent) {
        tree_.nodes.pop_back();
        return;
      }
    }
    node.end = static_cast<uint32_t>(tree_.nodes.size());
  }

  void Characters(const xmlChar* ch, int len) {
    if (len <= 0) return;
    if (listener_ != nullptr) {
      listener_->Characters(
          std::string_view(reinterpret_cast<const char*>(ch), static_cast<size_t>(len)));
    }
    if (skip_ > 0) return;
    std::string& text = tree_.text;
    Node* run = &tree_.nodes.back();
    const uint32_t parent = Current();
    if (run->kind != Kind::kText || run->parent != parent ||
        run->text_begin + run->text_size != text.size()) {
      tree_.nodes.push_back(Node{static_cast<uint32_t>(tree_.nodes.size() + 1), parent,
                                 static_cast<uint32_t>(text.size()), 0, Kind::kText, 0});
      run = &tree_.nodes.back();
    }
    const size_t before = text.size();
    bool space = run->text_size > 0 && text.back() == ' ';
    for (int i = 0; i < len;) {
      const unsigned char c = ch[i];
      if (c < 0x80) {
        if (pre_ == 0 && IsSpace(c)) {
          ++i;
          if (!space) text += ' ';
          space = true;
          continue;
        }
        // A run of ASCII kept as it is.
        int j = i + 1;
        while (j < len && ch[j] < 0x80 && (pre_ > 0 || !IsSpace(ch[j]))) ++j;
        text.append(reinterpret_cast<const char*>(ch + i), static_cast<size_t>(j - i));
        i = j;
        space = false;
        continue;
      }
      const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
      char32_t cp = c & (0x7F >> length);
      for (int k = 1; k < length && i + k < len; ++k) cp = (cp << 6) | (ch[i + k] & 0x3F);
      i += length;
      if (cp == 0x200B || cp == 0xFEFF) continue;  // zero-width: no character at all
      // A soft hyphen only marks where a word may break. As a byte of ISO-8859-1 it may be
      // part of a UTF-8 page, so it goes only where the page is code page 1251.
      if (cp == 0xAD && bytes_ != PageBytes::kLatin1) continue;
      if (pre_ == 0 && IsWideSpace(cp, bytes_)) {
        if (!space) text += ' ';
        space = true;
        continue;
      }
      AppendChar(text, cp, bytes_);
      space = false;
    }
    run->text_size += static_cast<uint32_t>(text.size() - before);
  }

  void Script(const xmlChar* ch, int len) {
    if (listener_ != nullptr && len > 0) {
      listener_->ScriptText(
          std::string_view(reinterpret_cast<const char*>(ch), static_cast<size_t>(len)));
    }
  }

  void Finish() {
    const auto size = static_cast<uint32_t>(tree_.nodes.size());
    for (const uint32_t index : open_nodes_) tree_.nodes[index].end = size;
    tree_.nodes[0].end = size;
  }

 private:
  void Stop() {
    if (ctxt_ != nullptr && !stopped_) Xml().xmlStopParser(ctxt_);
    stopped_ = true;
  }

  uint32_t Current() const { return open_nodes_.empty() ? 0 : open_nodes_.back(); }

  void ReadMarkdownFields(Node& node, std::string_view name, const AttributeReading& reading) {
    std::string_view attribute;
    if (node.kind == Kind::kHeading) {
      node.level = static_cast<uint8_t>(name[1] - '0');
    } else if (node.kind == Kind::kA) {
      attribute = reading.href;
    } else if (node.kind == Kind::kTd || node.kind == Kind::kTh) {
      node.spans = reading.spans ? 1 : 0;
    } else if (node.kind == Kind::kInline) {
      node.style = StyleOf(name);
    }
    if (node.kind == Kind::kPre || node.style == kCode)
      attribute = CodeLanguage(reading.class_value);
    if (attribute.empty()) return;
    node.attribute_begin = static_cast<uint32_t>(tree_.attributes.size());
    AppendAttribute(tree_.attributes, attribute.substr(0, 4096), bytes_);
    node.attribute_size = static_cast<uint32_t>(tree_.attributes.size() - node.attribute_begin);
  }

  Tree& tree_;
  PageBytes bytes_;
  ParseListener* listener_;
  std::vector<uint32_t> open_;        // every open element; kNoNode for one not recorded
  std::vector<uint32_t> open_nodes_;  // the recorded ones
  size_t skip_ = 0;                   // depth inside an element left out whole
  size_t pre_ = 0;                    // open `pre` elements
  xmlParserCtxtPtr ctxt_ = nullptr;
  size_t error_budget_ = 0;
  bool stopped_ = false;
};

Builder& BuilderOf(void* ctx) {
  return *static_cast<Builder*>(ctx);
}

void OnStart(void* ctx, const xmlChar* name, const xmlChar** atts) {
  BuilderOf(ctx).Start(name, atts);
}
void OnEnd(void* ctx, const xmlChar* name) {
  BuilderOf(ctx).End(name);
}
void OnCharacters(void* ctx, const xmlChar* ch, int len) {
  BuilderOf(ctx).Characters(ch, len);
}
// The parser hands a script's or a style's content over as one block.
void OnCdata(void* ctx, const xmlChar* ch, int len) {
  BuilderOf(ctx).Script(ch, len);
}
void OnParseError(void* ctx, xmlErrorPtr /*error*/) {
  BuilderOf(ctx).Error();
}

}  // namespace

Tree ParseTree(std::string_view document, PageBytes bytes, ParseListener* listener) {
  Tree tree;
  Builder builder(tree, bytes, listener);
  xmlSAXHandler sax{};
  sax.startElement = OnStart;
  sax.endElement = OnEnd;
  sax.characters = OnCharacters;
  sax.ignorableWhitespace = OnCharacters;
  sax.cdataBlock = OnCdata;
  sax.serror = OnParseError;
  ParseHtml(document, bytes, sax, &builder,
            [&builder, &document](xmlParserCtxtPtr ctxt) { builder.Watch(ctxt, document.size()); });
  builder.Finish();
  return tree;
}

}  // namespace korvane::main_text
