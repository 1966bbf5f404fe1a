// ExtractMainText: the page parsed into a compact tree, its article chosen by scores, its
// text written one line per block.
#include "text/main_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <vector>

#include "text/extract_between.h"
#include "text/main_text_markdown.h"
#include "text/main_text_tree.h"

namespace korvane {
namespace {

using main_text::Kind;
using main_text::Node;
using main_text::Tree;

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

bool IsBlock(Kind kind) {
  switch (kind) {
    case Kind::kText:
    case Kind::kInline:
    case Kind::kA:
    case Kind::kBr:
    case Kind::kImg:
      return false;
    default:
      return true;
  }
}

bool IsHint(const Node& node) {
  return node.kind == Kind::kArticle || node.kind == Kind::kMain ||
         (node.marks & main_text::kArticleBody) != 0;
}

// Per node sums over its subtree, frame left out.
struct Sums {
  std::vector<uint32_t> chars;  // bytes of text other than blanks
  std::vector<uint32_t> links;  // of them, inside links
  std::vector<uint32_t> commas;
};

class Extractor {
 public:
  explicit Extractor(const Tree& tree)
      : tree_(tree), nodes_(tree.nodes), size_(static_cast<uint32_t>(nodes_.size())) {}

  std::string Run() {
    Sum(raw_, nullptr);
    region_ = FindRegion();
    std::string out = Pass(true);
    // Too little left: the frame rules took the article too (a page that puts it in an aside
    // or names its wrapper after the layout). Chosen again with only the sure frame gone.
    if (VisibleChars(out) < kTooLittle) {
      std::string relaxed = Pass(false);
      if (VisibleChars(relaxed) > VisibleChars(out)) {
        out = std::move(relaxed);
      } else if (markdown_) {
        (void)Pass(true);  // the Markdown is written from the choice that stands
      }
    }
    if (!markdown_) return out;
    std::string markdown;
    for (const uint32_t root : roots_) WriteMarkdown(root, markdown, *markdown_);
    return markdown;
  }

  // Run writes Markdown instead, links resolved against `address`.
  void WriteMarkdownFor(const std::string_view* address) { markdown_ = address; }

 private:
  static size_t VisibleChars(std::string_view text) {
    size_t n = 0;
    for (const char c : text) n += c != ' ' && c != '\r' && c != '\n';
    return n;
  }

  std::string Pass(bool strict) {
    strict_ = strict;
    item_of_.assign(size_, 0);
    holds_items_.assign(size_, 0);
    MarkFrame();
    Sum(sums_, &frame_);
    OwnText();
    ScoreCandidates();
    roots_ = WithStrayProse(ChooseRoots());
    std::string out;
    for (const uint32_t root : roots_) Write(root, out);
    // Items of one shape that hold much more text than the article chosen are the page's
    // content (cards, posts, sections): they join it, kept whole, in page order.
    const size_t over = region_linky_ ? kLinkRegionOverArticle : kRegionOverArticle;
    if (!region_.empty() && region_chars_ > VisibleChars(out) * over &&
        (!region_worded_ || Overlaps(roots_, nodes_[region_.front()].parent))) {
      MarkItems();
      MarkFrame();
      Sum(sums_, &frame_);
      OwnText();
      out.clear();
      roots_ = JoinItems(roots_);
      for (const uint32_t root : roots_) Write(root, out);
    } else if (VisibleChars(out) < kFrameOnlyChars &&
               std::all_of(roots_.begin(), roots_.end(),
                           [&](uint32_t root) { return InFooterOrHeader(root); })) {
      out.clear();  // only a footer, a header or a notice left: no content at all
      roots_.clear();
    }
    return out;
  }

  // True when `i` lies in a footer element and in no article; on the second choice also in a
  // header, or under the words of one (a copyright line, a notice).
  bool InFooterOrHeader(uint32_t i) const {
    for (; i != 0; i = nodes_[i].parent) {
      const Node& node = nodes_[i];
      if (node.kind == Kind::kFooter) return true;
      if (strict_) continue;
      if (node.kind == Kind::kHeader) return true;
      if ((node.marks & main_text::kWeakFrameWords) != 0 && !ContentMarked(node)) return true;
      if (IsHint(node)) return false;
    }
    return false;
  }

  // True when one of `roots` holds `node` or lies inside it.
  bool Overlaps(const std::vector<uint32_t>& roots, uint32_t node) const {
    return std::any_of(roots.begin(), roots.end(),
                       [&](uint32_t root) { return Contains(root, node) || Contains(node, root); });
  }

  // Marks every node inside an item of the region with the item it is in, and the nodes
  // around the items.
  void MarkItems() {
    for (const uint32_t item : region_) {
      for (uint32_t i = item; i < nodes_[item].end; ++i) item_of_[i] = item;
      for (uint32_t a = nodes_[item].parent; a != 0 && !holds_items_[a]; a = nodes_[a].parent) {
        holds_items_[a] = 1;
      }
    }
  }

  // The roots and the region's items in page order; a node inside another goes; the body
  // (the choice where nothing scored) gives way to the items.
  std::vector<uint32_t> JoinItems(const std::vector<uint32_t>& roots) const {
    std::vector<uint32_t> all;
    for (const uint32_t root : roots) {
      if (nodes_[root].kind != Kind::kBody && root != 0) all.push_back(root);
    }
    all.insert(all.end(), region_.begin(), region_.end());
    std::sort(all.begin(), all.end());
    std::vector<uint32_t> out;
    for (const uint32_t i : all) {
      if (!out.empty() && Contains(out.back(), i)) continue;
      out.push_back(i);
    }
    return out;
  }

  // The page's largest region of repeated items: element siblings of one shape (tag and
  // class names; sections and articles by their tag alone), three or more, with some text
  // each and none holding half of it (the header, body and footer of a layout are no items).
  // An element that holds half the page's text is neither sure frame nor frame by words. Their
  // text is counted without the sure frame (hidden and embedded elements, nav, frame roles). Items
  // made mostly of links (an index, a catalogue of titles) count only outside frame, in number and
  // inside the page's article or main element where it has one; items under frame words (posts
  // named comments or replies) only when they hold half the page, and are used only where the
  // article chosen is one of them (a thread, not an article followed by its comments).
  std::vector<uint32_t> FindRegion() {
    std::vector<uint8_t> sure(size_, 0);
    std::vector<uint8_t> framey(size_, 0);
    const uint32_t total = raw_.chars[0];
    for (uint32_t i = 1; i < size_; ++i) {
      const Node& node = nodes_[i];
      const uint32_t parent = node.parent;
      if (raw_.chars[i] * 2 > total) continue;  // a layout wrapper, whatever its names
      sure[i] = sure[parent] || node.kind == Kind::kOmitted || node.kind == Kind::kNav ||
                (node.marks & (main_text::kHidden | main_text::kFrameRole)) != 0;
      const bool words =
          (node.marks & (main_text::kFrameWords | main_text::kWeakFrameWords)) != 0 &&
          !ContentMarked(node);
      framey[i] = framey[parent] || words || node.kind == Kind::kAside ||
                  node.kind == Kind::kForm || node.kind == Kind::kMenu ||
                  node.kind == Kind::kDialog || node.kind == Kind::kFooter ||
                  node.kind == Kind::kHeader;
    }
    Sums vis;
    Sum(vis, &sure);
    uint32_t page = vis.chars[0];
    std::vector<std::pair<uint32_t, uint32_t>> children;  // (key, child)
    std::vector<uint32_t> best;
    uint32_t best_chars = 0;
    const uint32_t hint = LargestHint();
    for (uint32_t p = 1; p < size_; ++p) {
      if (sure[p] || nodes_[p].kind == Kind::kText || vis.chars[p] <= best_chars) continue;
      children.clear();
      for (uint32_t c = p + 1; c < nodes_[p].end; c = nodes_[c].end) {
        const Node& child = nodes_[c];
        if (sure[c] || vis.chars[c] == 0 || !IsItemKind(child.kind)) continue;
        const uint32_t key = child.kind == Kind::kSection || child.kind == Kind::kArticle
                                 ? static_cast<uint32_t>(child.kind)
                                 : child.shape;
        children.emplace_back(key, c);
      }
      if (children.size() < 2) continue;
      std::stable_sort(children.begin(), children.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      for (size_t k = 0; k < children.size();) {
        size_t e = k;
        uint32_t chars = 0;
        uint32_t links = 0;
        uint32_t largest = 0;
        bool worded = framey[p];
        for (; e < children.size() && children[e].first == children[k].first; ++e) {
          const uint32_t c = children[e].second;
          chars += vis.chars[c];
          links += vis.links[c];
          largest = std::max(largest, vis.chars[c]);
          worded |= framey[c] != 0;
        }
        const size_t count = e - k;
        const bool enough = count >= kItems;
        const bool linky = links * 2 > chars;
        bool take =
            enough && chars >= count * kItemChars && chars > best_chars && largest * 2 <= chars;
        if (take && linky) {
          take = !worded && count >= kLinkItems && (hint == 0 || Contains(hint, p));
        }
        if (take && worded) take = chars * 2 >= page;
        if (take) {
          best_chars = chars;
          region_worded_ = worded;
          region_linky_ = linky;
          best.clear();
          for (size_t m = k; m < e; ++m) best.push_back(children[m].second);
        }
        k = e;
      }
    }
    region_chars_ = best_chars;
    return best;
  }

  static bool IsItemKind(Kind kind) {
    return kind != Kind::kText && kind != Kind::kBr && kind != Kind::kHr && kind != Kind::kImg &&
           kind != Kind::kOmitted;
  }

  // Sums chars, links and commas bottom-up; a node of `skip` adds nothing.
  void Sum(Sums& sums, const std::vector<uint8_t>* skip) {
    sums.chars.assign(size_, 0);
    sums.links.assign(size_, 0);
    sums.commas.assign(size_, 0);
    for (uint32_t i = size_; i-- > 1;) {
      const Node& node = nodes_[i];
      if (skip != nullptr && (*skip)[i]) continue;
      if (node.kind == Kind::kText) {
        uint32_t chars = 0;
        uint32_t commas = 0;
        for (const char c : tree_.Text(node)) {
          chars += c != ' ' && c != '\t' && c != '\n' && c != '\r';
          commas += c == ',';
        }
        sums.chars[i] = chars;
        sums.commas[i] = commas;
      } else if (node.kind == Kind::kA) {
        sums.links[i] = sums.chars[i];
      }
      sums.chars[node.parent] += sums.chars[i];
      sums.links[node.parent] += sums.links[i];
      sums.commas[node.parent] += sums.commas[i];
    }
  }

  bool ContentMarked(const Node& node) const {
    constexpr uint8_t kFrame = main_text::kFrameWords | main_text::kWeakFrameWords;
    return IsHint(node) ||
           ((node.marks & main_text::kContentWords) != 0 && (node.marks & kFrame) == 0);
  }

  // Frame by kind or role, unless the element holds most of the page's text (a page wrapped
  // whole in a form, or an unclosed header); by words, unless a content-marked element
  // inside it holds most of its text (a wrapper named after a layout with a sidebar); by weak
  // words, when also short or made of links. A frame element's subtree goes with it.
  void MarkFrame() {
    frame_.assign(size_, 0);
    in_hint_.assign(size_, 0);
    std::vector<uint32_t> content(size_, 0);  // largest content-marked descendant
    for (uint32_t i = size_; i-- > 1;) {
      const Node& node = nodes_[i];
      const uint32_t own = ContentMarked(node) ? raw_.chars[i] : 0;
      content[node.parent] = std::max({content[node.parent], content[i], own});
    }
    const uint32_t total = raw_.chars[0];
    // A page whose menu is left unclosed nests its article inside the menu: the elements around
    // the largest article are never frame.
    const uint32_t article = LargestHint();
    std::vector<uint8_t> holds_article(size_, 0);
    for (uint32_t a = nodes_[article].parent; article != 0 && a != 0; a = nodes_[a].parent) {
      holds_article[a] = 1;
    }
    const std::vector<uint32_t> prose = Prose();
    std::vector<uint32_t> hint_above(size_, 0);  // the nearest article around, else 0
    for (uint32_t i = 1; i < size_; ++i) {
      const Node& node = nodes_[i];
      in_hint_[i] = in_hint_[node.parent] || IsHint(node);
      hint_above[i] = IsHint(nodes_[node.parent]) ? node.parent : hint_above[node.parent];
      if (holds_article[i] && !Hidden(i)) continue;
      if (frame_[node.parent]) {
        frame_[i] = 1;
        continue;
      }
      if (node.kind == Kind::kText) continue;
      const uint32_t chars = raw_.chars[i];
      if (item_of_[i] != 0 || holds_items_[i]) {
        frame_[i] = ItemFrame(i);
        continue;
      }
      if (FrameByKind(i)) {
        frame_[i] = chars * 2 <= total || total == 0;
        continue;
      }
      if (IsHint(node) || node.kind == Kind::kBody) continue;
      if (content[i] * 2 >= chars && content[i] >= kWrapperChars) continue;
      if (chars * 3 > total * 2) continue;  // two thirds of the page: a layout wrapper
      // Most of the paragraphs of the page, or of the article it is in: a layout wrapper named
      // after its sidebar, or the article's body named after the banners placed in it.
      const uint32_t scope = hint_above[i];
      if (prose[i] * 2 > prose[scope] && prose[i] >= kWrapperChars) continue;
      const bool strong = (node.marks & main_text::kFrameWords) != 0;
      const bool content_words = (node.marks & main_text::kContentWords) != 0;
      if (strong && !content_words) {
        frame_[i] = 1;
      } else if (!strict_) {
        continue;
      } else if (strong || (node.marks & main_text::kWeakFrameWords) != 0) {
        frame_[i] = chars < kShortChars || raw_.links[i] * 5 > chars * 2;
      }
    }
  }

  // Frame inside a region's items, or around them: hidden and embedded elements, nav, forms
  // and dialogs; a part of an item under frame words when it is short or made of links and
  // holds less than half the item.
  bool ItemFrame(uint32_t i) const {
    const Node& node = nodes_[i];
    if (node.kind == Kind::kOmitted || Hidden(i)) return true;
    const uint32_t item = item_of_[i];
    if (item == 0) return false;
    switch (node.kind) {
      case Kind::kNav:
      case Kind::kForm:
      case Kind::kMenu:
      case Kind::kDialog:
        return true;
      default:
        break;
    }
    const uint32_t chars = raw_.chars[i];
    if (i == item || chars * 2 >= raw_.chars[item]) return false;
    if ((node.marks & (main_text::kFrameWords | main_text::kWeakFrameWords)) == 0) return false;
    return chars < kShortChars || raw_.links[i] * 5 > chars * 2;
  }

  // For every element, the text of the paragraphs inside it, frame or not: blocks with a
  // paragraph's worth of their own text, few of it in links.
  std::vector<uint32_t> Prose() const {
    std::vector<uint32_t> own(size_, 0);
    std::vector<uint32_t> own_links(size_, 0);
    std::vector<uint32_t> block(size_, 0);
    std::vector<uint8_t> in_link(size_, 0);
    for (uint32_t i = 1; i < size_; ++i) {
      const Node& node = nodes_[i];
      block[i] = IsBlock(node.kind) ? i : block[node.parent];
      in_link[i] = in_link[node.parent] || node.kind == Kind::kA;
      if (node.kind != Kind::kText) continue;
      own[block[node.parent]] += raw_.chars[i];
      if (in_link[i]) own_links[block[node.parent]] += raw_.chars[i];
    }
    std::vector<uint32_t> prose(size_, 0);
    for (uint32_t i = size_; i-- > 1;) {
      if (own[i] >= kParagraphChars && own_links[i] * 4 < own[i]) prose[i] += own[i];
      prose[nodes_[i].parent] += prose[i];
    }
    return prose;
  }

  // The page's largest article, main or articleBody element by text outside links, when it
  // holds a wrapper's worth; else 0.
  uint32_t LargestHint() const {
    uint32_t best = 0;
    uint32_t best_chars = 0;
    for (uint32_t i = 1; i < size_; ++i) {
      const uint32_t chars = raw_.chars[i] - raw_.links[i];
      if (IsHint(nodes_[i]) && chars > best_chars) {
        best = i;
        best_chars = chars;
      }
    }
    return best_chars >= kWrapperChars ? best : 0;
  }

  // Hidden, unless only by a class name or the hidden attribute inside the page's article or
  // a region's item and not made of links: the closed tabs and accordions of the content.
  bool Hidden(uint32_t i) const {
    const Node& node = nodes_[i];
    if ((node.marks & main_text::kHidden) == 0) return false;
    if ((node.marks & main_text::kToggled) == 0) return true;
    const bool inside = in_hint_[node.parent] || item_of_[i] != 0;
    return !inside || raw_.links[i] * 2 > raw_.chars[i];
  }

  bool FrameByKind(uint32_t i) const {
    const Node& node = nodes_[i];
    if (node.kind == Kind::kOmitted || Hidden(i)) return true;
    if ((node.marks & main_text::kFrameRole) != 0 || node.kind == Kind::kNav) return true;
    if (!strict_) return false;
    switch (node.kind) {
      case Kind::kNav:
      case Kind::kAside:
      case Kind::kForm:
      case Kind::kMenu:
      case Kind::kDialog:
        return true;
      case Kind::kFooter:
        return true;
      case Kind::kHeader:
        return !in_hint_[node.parent];
      default:
        return false;
    }
  }

  // For every block, the text directly inside it (not inside a nested block).
  void OwnText() {
    block_of_.assign(size_, 0);
    own_chars_.assign(size_, 0);
    own_links_.assign(size_, 0);
    own_commas_.assign(size_, 0);
    std::vector<uint8_t> in_link(size_, 0);
    for (uint32_t i = 1; i < size_; ++i) {
      const Node& node = nodes_[i];
      block_of_[i] = IsBlock(node.kind) ? i : block_of_[node.parent];
      in_link[i] = in_link[node.parent] || node.kind == Kind::kA;
      if (node.kind != Kind::kText || frame_[i]) continue;
      const uint32_t block = block_of_[node.parent];
      own_chars_[block] += sums_.chars[i];
      own_commas_[block] += sums_.commas[i];
      if (in_link[i]) own_links_[block] += sums_.chars[i];
    }
  }

  float BaseScore(uint32_t i) const {
    const Node& node = nodes_[i];
    float score = 0;
    switch (node.kind) {
      case Kind::kDiv:
        score = 5;
        break;
      case Kind::kPre:
      case Kind::kTd:
      case Kind::kBlockquote:
        score = 3;
        break;
      case Kind::kOl:
      case Kind::kUl:
      case Kind::kDl:
      case Kind::kDd:
      case Kind::kDt:
      case Kind::kLi:
      case Kind::kForm:
        score = -3;
        break;
      case Kind::kHeading:
      case Kind::kTh:
        score = -5;
        break;
      default:
        break;
    }
    if ((node.marks & main_text::kContentWords) != 0) score += 25;
    if ((node.marks & main_text::kFrameWords) != 0) score -= 25;
    return score;
  }

  void ScoreCandidates() {
    score_.assign(size_, 0);
    scored_.assign(size_, 0);
    for (uint32_t i = 1; i < size_; ++i) {
      if (frame_[i] || own_chars_[i] < kParagraphChars) continue;
      const float density = static_cast<float>(own_links_[i]) / own_chars_[i];
      const float points =
          (1.0F + own_commas_[i] + std::min(own_chars_[i] / 100.0F, 3.0F)) * (1.0F - density);
      uint32_t ancestor = nodes_[i].parent;
      for (int level = 0; level < 5 && ancestor != 0; ++level) {
        if (!scored_[ancestor]) {
          scored_[ancestor] = 1;
          score_[ancestor] = BaseScore(ancestor);
        }
        score_[ancestor] += points / (level == 0 ? 1.0F : level == 1 ? 2.0F : level * 3.0F);
        ancestor = nodes_[ancestor].parent;
      }
    }
    for (uint32_t i = 1; i < size_; ++i) {
      if (scored_[i]) score_[i] *= 1.0F - LinkDensity(i);
    }
  }

  float LinkDensity(uint32_t i) const {
    return sums_.chars[i] == 0 ? 0.0F : static_cast<float>(sums_.links[i]) / sums_.chars[i];
  }

  bool Contains(uint32_t outer, uint32_t inner) const {
    return inner >= outer && inner < nodes_[outer].end;
  }

  std::vector<uint32_t> ChooseRoots() {
    uint32_t top = 0;
    for (uint32_t i = 1; i < size_; ++i) {
      if (scored_[i] && !frame_[i] && (top == 0 || score_[i] > score_[top])) top = i;
    }
    if (top == 0) {
      for (uint32_t i = 1; i < size_; ++i) {
        if (nodes_[i].kind == Kind::kBody) return {i};
      }
      return {0};
    }
    top = ClimbToCommonAncestor(top);
    // A strong hint that encloses the choice, and is made of few links, takes its place.
    for (uint32_t a = top; a != 0; a = nodes_[a].parent) {
      if (IsHint(nodes_[a]) && LinkDensity(a) < 0.3F) {
        top = a;
        break;
      }
    }
    return WithSiblings(top);
  }

  // Where several good candidates share an ancestor, the article is that ancestor.
  uint32_t ClimbToCommonAncestor(uint32_t top) const {
    std::array<uint32_t, 5> best{};
    for (uint32_t i = 1; i < size_; ++i) {
      if (!scored_[i] || frame_[i] || i == top) continue;
      for (size_t k = 0; k < best.size(); ++k) {
        if (best[k] == 0 || score_[i] > score_[best[k]]) {
          std::copy_backward(best.begin() + static_cast<ptrdiff_t>(k), best.end() - 1, best.end());
          best[k] = i;
          break;
        }
      }
    }
    const float threshold = score_[top] * 0.75F;
    for (uint32_t a = nodes_[top].parent; a != 0 && nodes_[a].kind != Kind::kBody;
         a = nodes_[a].parent) {
      int inside = 0;
      for (const uint32_t c : best) {
        if (c != 0 && score_[c] >= threshold && Contains(a, c)) ++inside;
      }
      if (inside >= 3) return a;
    }
    // A parent that scores higher than its child is the better container.
    const float floor = score_[top] / 3;
    float last = score_[top];
    for (uint32_t a = nodes_[top].parent; a != 0 && nodes_[a].kind != Kind::kBody;
         a = nodes_[a].parent) {
      if (!scored_[a]) continue;
      if (score_[a] < floor) break;
      if (score_[a] > last) return a;
      last = score_[a];
    }
    return top;
  }

  // The roots, and in document order with them the blocks of plain prose outside them that
  // come before the last root ends (a lead set apart from the body): long, without links,
  // outside frame. Prose after the article is most often its comments.
  std::vector<uint32_t> WithStrayProse(const std::vector<uint32_t>& roots) const {
    std::vector<uint32_t> out;
    size_t next = 0;
    for (uint32_t i = 1; i < size_;) {
      if (next < roots.size() && roots[next] == i) {
        out.push_back(i);
        i = nodes_[roots[next++]].end;
        continue;
      }
      if (frame_[i]) {
        i = nodes_[i].end;
        continue;
      }
      if (next < roots.size() && IsBlock(nodes_[i].kind) && own_chars_[i] >= kStrayProse &&
          own_links_[i] == 0 && sums_.links[i] == 0) {
        out.push_back(i);
        i = nodes_[i].end;
        continue;
      }
      ++i;
    }
    return out;
  }

  // The chosen element and those of its siblings that carry article text too.
  std::vector<uint32_t> WithSiblings(uint32_t top) const {
    const uint32_t parent = nodes_[top].parent;
    if (top == 0 || nodes_[top].kind == Kind::kBody) return {top};
    const float threshold = std::max(10.0F, score_[top] * 0.2F);
    std::vector<uint32_t> roots;
    for (uint32_t i = parent + 1; i < nodes_[parent].end; i = nodes_[i].end) {
      if (i == top) {
        roots.push_back(i);
        continue;
      }
      if (frame_[i] || nodes_[i].kind == Kind::kText) continue;
      const float density = LinkDensity(i);
      const uint32_t chars = sums_.chars[i];
      bool take = scored_[i] && score_[i] >= threshold;
      if (!take && (nodes_[i].kind == Kind::kP || own_chars_[i] * 2 >= chars)) {
        take = (chars > 80 && density < 0.25F) || (chars > 0 && density == 0.0F && chars > 40);
      }
      if (take) roots.push_back(i);
    }
    return roots;
  }

  bool Skipped(uint32_t i, uint32_t root) const {
    if (frame_[i]) return true;
    if (i == root || !IsBlock(nodes_[i].kind) || item_of_[i] != 0 || holds_items_[i]) {
      return false;
    }
    return sums_.chars[i] > 0 && LinkDensity(i) > 0.5F;
  }

  void Write(uint32_t root, std::string& out) const {
    LineWriter lines(out);
    Walk(root, lines);
  }

  // The same walk written as Markdown: the plain lines first, for which of them stay, then
  // the Markdown of those.
  void WriteMarkdown(uint32_t root, std::string& out, std::string_view address) const {
    std::string plain;
    std::vector<uint8_t> kept;
    LineWriter lines(plain, &kept);
    Walk(root, lines);
    main_text::MarkdownWriter markdown(tree_, out, kept, address);
    Walk(root, markdown);
  }

  // Walks the article under `root` in document order for `sink`: Text for each text run,
  // Break where a block or a br starts or ends a line, Skip for a block left out, and Enter
  // and Leave around every other element.
  template <class Sink>
  void Walk(uint32_t root, Sink& sink) const {
    std::vector<uint32_t> open;  // each open element, innermost last
    size_t pre = 0;              // open pre elements, those above the root included
    for (uint32_t a = nodes_[root].parent; a != 0; a = nodes_[a].parent) {
      pre += nodes_[a].kind == Kind::kPre;
    }
    const uint32_t end = nodes_[root].end;
    for (uint32_t i = root; i < end;) {
      while (!open.empty() && nodes_[open.back()].end <= i) {
        const Node& done = nodes_[open.back()];
        sink.Leave(open.back());
        open.pop_back();
        pre -= done.kind == Kind::kPre;
        if (IsBlock(done.kind)) sink.Break();
      }
      const Node& node = nodes_[i];
      if (node.kind == Kind::kText) {
        sink.Text(tree_.Text(node), pre > 0);
        ++i;
        continue;
      }
      if (Skipped(i, root)) {
        if (IsBlock(node.kind)) sink.Skip(i);
        i = node.end;
        continue;
      }
      if (node.kind == Kind::kBr || node.kind == Kind::kHr || IsBlock(node.kind)) sink.Break();
      sink.Enter(i);
      open.push_back(i);
      pre += node.kind == Kind::kPre;
      ++i;
    }
    for (auto k = open.rbegin(); k != open.rend(); ++k) sink.Leave(*k);
    sink.Finish();
  }

  // Writes lines, then drops the short ones that are frame by their place: a date or time
  // line, a short line between two blocks left out as frame, and a short last line before
  // frame (the heading of a related list, a "share this" caption).
  class LineWriter {
   public:
    // With `kept`, also tells for each line whether it stays (1) or is dropped (0).
    explicit LineWriter(std::string& out, std::vector<uint8_t>* kept = nullptr)
        : out_(out), begin_(out.size()), line_start_(begin_), kept_(kept) {}
    void Enter(uint32_t /*node*/) {}
    void Leave(uint32_t /*node*/) {}
    void Text(std::string_view text, bool pre) {
      for (const char c : text) {
        if (pre) {
          if (c == '\n') {
            Break();
          } else if (c != '\r') {
            out_ += c;
          }
          continue;
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
          space_ = out_.size() > line_start_;
          continue;
        }
        if (space_) out_ += ' ';
        space_ = false;
        out_ += c;
      }
    }
    void Break() {
      space_ = false;
      if (out_.size() == line_start_) return;
      bool blank = true;
      for (size_t k = line_start_; k < out_.size() && blank; ++k) {
        blank = out_[k] == ' ' || out_[k] == '\t';
      }
      if (blank) {
        out_.resize(line_start_);
        return;
      }
      out_ += "\r\n";
      lines_.push_back(Line{line_start_, out_.size(), skip_pending_, false});
      skip_pending_ = false;
      line_start_ = out_.size();
    }
    void Skip(uint32_t /*node*/) {
      Break();
      if (!lines_.empty() && !skip_pending_) lines_.back().skip_after = true;
      skip_pending_ = true;
    }
    void Finish() {
      Break();
      size_t write = begin_;
      for (size_t k = 0; k < lines_.size(); ++k) {
        const Line& line = lines_[k];
        const std::string_view text(out_.data() + line.begin, line.end - line.begin - 2);
        const bool last = k + 1 == lines_.size();
        const bool short_line = text.size() < kShortLine;
        const bool dropped = DateLike(text) || (short_line && line.skip_after &&
                                                (line.skip_before || last || Caption(text)));
        if (kept_ != nullptr) kept_->push_back(dropped ? 0 : 1);
        if (dropped) continue;
        std::memmove(out_.data() + write, out_.data() + line.begin, line.end - line.begin);
        write += line.end - line.begin;
      }
      out_.resize(write);
    }

   private:
    struct Line {
      size_t begin;
      size_t end;  // after its CR LF
      bool skip_before;
      bool skip_after;
    };

    // A few words without a sentence's end: the heading of a list, a "see also" caption.
    static bool Caption(std::string_view text) {
      while (!text.empty() && (text.back() == ' ' || text.back() == ':')) text.remove_suffix(1);
      if (text.empty()) return true;
      const char last = text.back();
      return last != '.' && last != '!' && last != '?' &&
             std::count(text.begin(), text.end(), ' ') < 5;
    }

    // True when `text` holds a date or a time as digits write them: "3.10.2018", "03/10/18",
    // "2018-10-03", "20:37". Decimal numbers, prices and counts are not dates.
    static bool HasDateOrTime(std::string_view text) {
      std::array<size_t, 3> group{};  // lengths of the last digit groups, the latest first
      std::array<char, 2> separator{};
      for (size_t k = 0; k <= text.size(); ++k) {
        const char c = k < text.size() ? text[k] : ' ';
        if (c >= '0' && c <= '9') {
          ++group[0];
          continue;
        }
        if (group[0] > 0) {
          const bool time = separator[0] == ':' && group[0] == 2 && group[1] >= 1 && group[1] <= 2;
          const bool day_first = separator[0] == separator[1] && separator[0] != ':' &&
                                 separator[0] != 0 && group[2] >= 1 && group[2] <= 2 &&
                                 group[1] >= 1 && group[1] <= 2 && (group[0] == 2 || group[0] == 4);
          const bool year_first = separator[0] == '-' && separator[1] == '-' && group[2] == 4 &&
                                  group[1] == 2 && group[0] == 2;
          if (time || day_first || year_first) return true;
        }
        const bool joins = (c == '.' || c == '/' || c == '-' || c == ':') && group[0] > 0;
        if (joins) {
          group = {0, group[0], group[1]};
          separator = {c, separator[0]};
        } else {
          group = {};
          separator = {};
        }
      }
      return false;
    }

    // A short line made mostly of digits that holds a date or a time.
    static bool DateLike(std::string_view text) {
      if (text.size() > kDateLine || !HasDateOrTime(text)) return false;
      size_t digits = 0;
      size_t letters = 0;
      for (size_t k = 0; k < text.size(); ++k) {
        const auto u = static_cast<unsigned char>(text[k]);
        if (u == '&' && k + 1 < text.size() && text[k + 1] == '#') {
          // A character reference is one letter, not a number.
          const size_t end = text.find(';', k);
          if (end != std::string_view::npos) k = end;
          ++letters;
        } else if (u >= '0' && u <= '9') {
          ++digits;
        } else if (std::isalpha(u) != 0 || u >= 0x80) {
          ++letters;
        }
      }
      return digits >= 2 && digits * 2 >= letters;
    }

    static constexpr size_t kShortLine = 60;
    static constexpr size_t kDateLine = 30;

    std::string& out_;
    const size_t begin_;
    size_t line_start_;
    bool space_ = false;
    bool skip_pending_ = false;
    std::vector<Line> lines_;
    std::vector<uint8_t>* kept_;
  };

  static constexpr uint32_t kParagraphChars = 40;
  static constexpr uint32_t kShortChars = 150;
  static constexpr uint32_t kTooLittle = 60;
  static constexpr uint32_t kStrayProse = 80;
  static constexpr uint32_t kWrapperChars = 400;
  // A region of items replaces or joins the article when it holds this many times its text.
  static constexpr size_t kRegionOverArticle = 2;
  static constexpr size_t kFrameOnlyChars = 500;       // the most a text of frame alone holds
  static constexpr size_t kLinkRegionOverArticle = 3;  // and a region made of links
  static constexpr uint32_t kItemChars = 20;           // the least text of an item, on average
  static constexpr size_t kItems = 3;                  // the least items of a region
  static constexpr size_t kLinkItems = 5;              // the least items of a region made of links

  const Tree& tree_;
  const std::vector<Node>& nodes_;
  const uint32_t size_;
  bool strict_ = true;
  Sums raw_;
  Sums sums_;
  std::vector<uint8_t> frame_;
  std::vector<uint8_t> in_hint_;
  std::vector<uint32_t> block_of_;
  std::vector<uint32_t> own_chars_;
  std::vector<uint32_t> own_links_;
  std::vector<uint32_t> own_commas_;
  std::vector<float> score_;
  std::vector<uint8_t> scored_;
  std::vector<uint32_t> region_;  // the items of the page's largest repeated region
  uint32_t region_chars_ = 0;
  bool region_worded_ = false;        // the region lies under frame words
  bool region_linky_ = false;         // the region's items are made mostly of links
  std::vector<uint8_t> holds_items_;  // a node around the region's items, once it is used
  std::vector<uint32_t> item_of_;     // the region item a node is in, once the region is used
  std::vector<uint32_t> roots_;       // the last pass's article
  const std::string_view* markdown_ = nullptr;  // the page's address when writing Markdown
};

// The main text of `page`, as Markdown when `address` is given.
std::string Extract(std::string_view page, PageBytes charset, const std::string_view* address,
                    main_text::ParseListener* listener) {
  const size_t header_end = FindMarker(page, kHeaderEnd);
  if (header_end != std::string_view::npos) page.remove_prefix(header_end + kHeaderEnd.size());
  const Tree tree = main_text::ParseTree(page, charset, listener);
  Extractor extractor(tree);
  extractor.WriteMarkdownFor(address);
  return extractor.Run();
}

}  // namespace

std::string ExtractMainText(std::string_view page, PageBytes charset,
                            main_text::ParseListener* listener) {
  return Extract(page, charset, nullptr, listener);
}

std::string ExtractMainMarkdown(std::string_view page, PageBytes charset, std::string_view address,
                                main_text::ParseListener* listener) {
  return Extract(page, charset, &address, listener);
}

}  // namespace korvane
