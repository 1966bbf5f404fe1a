// The page as the main-text extractor sees it: a compact tree of elements and text runs built
// from libxml2's HTML parser, with what the rules need already read from tags and attributes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/main_text.h"

namespace korvane::main_text {

// The elements the rules tell apart; every other element is kInline or kBlock.
enum class Kind : uint8_t {
  kRoot,
  kText,
  kInline,
  kBlock,
  kOmitted,  // embedded objects, form controls, noscript, template, title: never text
  kA,
  kArticle,
  kAside,
  kBlockquote,
  kBody,
  kBr,
  kDd,
  kDialog,
  kDiv,
  kDl,
  kDt,
  kFigure,
  kFooter,
  kForm,
  kHeading,
  kHeader,
  kHr,
  kImg,
  kLi,
  kMain,
  kMenu,
  kNav,
  kOl,
  kP,
  kPre,
  kSection,
  kTable,
  kTd,
  kTh,
  kTr,
  kUl,
};

// What an element's class, id, role, itemprop and aria-label say about it.
enum Mark : uint8_t {
  kFrameWords = 1,       // menu, sidebar, comment, share, cookie, ...
  kContentWords = 2,     // article, content, main, post, entry, story, body, text
  kArticleBody = 4,      // itemprop="articleBody", role="main" or role="article"
  kFrameRole = 8,        // role navigation, banner, contentinfo, complementary, search, ...
  kHidden = 32,          // the hidden attribute, aria-hidden="true", display:none, ...
  kWeakFrameWords = 16,  // author, date, meta, header, footer, ...: frame when short
  kToggled = 64,         // hidden only by a class name or the hidden attribute (a closed tab)
};

// One element or text run. The tree is stored in document order: a node's subtree is the
// range [index, end), its children are the nodes of that range whose parent it is.
struct Node {
  uint32_t end = 0;
  uint32_t parent = 0;
  uint32_t text_begin = 0;  // a text run: its bytes in Tree::text
  uint32_t text_size = 0;
  Kind kind = Kind::kInline;
  uint8_t marks = 0;
  // An element's shape: its tag and class names, digits left out, as one number. Siblings of
  // one shape are items of a kind (the cards of a grid, the posts of a thread).
  uint32_t shape = 0;
  // What the Markdown form writes besides the text. A heading's level (1-6); an inline
  // element's style; 1 for a table cell with a colspan or rowspan above 1; a link's href, or
  // the language of a pre or code element's "language-x" or "lang-x" class, in
  // Tree::attributes (in the page's character set, as the text).
  uint8_t level = 0;
  uint8_t style = 0;  // a Style
  uint8_t spans = 0;
  uint32_t attribute_begin = 0;
  uint32_t attribute_size = 0;
};

// The inline elements the Markdown form marks: em and i, strong and b, code, kbd, samp, tt.
enum Style : uint8_t { kPlain = 0, kEmphasis = 1, kStrong = 2, kCode = 3 };

struct Tree {
  std::vector<Node> nodes;  // nodes[0] is the document
  // Text runs in the page's character set (entities decoded; a character the set cannot hold
  // as "&#NNNN;"), white-space runs outside `pre` folded to one blank.
  std::string text;
  std::string_view Text(const Node& node) const {
    return std::string_view(text).substr(node.text_begin, node.text_size);
  }
  std::string attributes;  // the hrefs and languages of Node::attribute_begin
  std::string_view Attribute(const Node& node) const {
    return std::string_view(attributes).substr(node.attribute_begin, node.attribute_size);
  }
};

// Elements nested deeper than this are read as part of their ancestor at this depth.
inline constexpr size_t kMaxTreeDepth = 400;
// The parse ends at an element nested this deep; what was read so far is the page.
inline constexpr size_t kMaxParseDepth = 5000;

// Sees every element, text and script of the parse in document order, the head's included.
// Names are lower case; texts are UTF-8 of the characters as `bytes` maps the page's bytes,
// entities decoded.
class ParseListener {
 public:
  virtual ~ParseListener() = default;
  // `attributes` holds name, value, name, value, ... and ends with a null name; a value may be
  // null. Null when the element has none.
  virtual void StartElement(std::string_view name, const char* const* attributes) = 0;
  virtual void EndElement(std::string_view name) = 0;
  virtual void Characters(std::string_view text) = 0;
  // The content of a script or style element, in one or more pieces.
  virtual void ScriptText(std::string_view text) = 0;
};

// Parses `document` (no answer head) in `bytes`. Scripts, styles and the head are left out
// whole, and so are empty elements other than br, hr and img. libxml2 prints nothing. A
// document in UTF-8 must be valid UTF-8.
[[nodiscard]] Tree ParseTree(std::string_view document, PageBytes bytes,
                             ParseListener* listener = nullptr);

}  // namespace korvane::main_text
