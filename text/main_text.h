// The page's main text: its own prose without menus, headers, footers and other frame.
//
// How the main text is found (text/main_text_tree.* parses, text/main_text.cpp chooses):
//  1. The document after the answer head is parsed by libxml2's HTML parser (recovering, no
//     network, silent) into a compact tree. Scripts, styles and the head are left out; so are
//     empty elements. Text is kept in the page's own mapping (below), white space folded.
//  2. Frame is marked. By element: nav, aside, form, menu, dialog, footer (inside an article
//     it holds tags, share buttons and the author's box), header outside an article or main;
//     embedded objects, form controls, noscript, template, svg, iframe, figcaption; hidden
//     elements (the hidden attribute, aria-hidden="true", display:none or visibility:hidden
//     in the style); frame roles (navigation, banner, contentinfo, complementary, search,
//     ...). An element of these kinds that holds most of the page's text is not frame (a page
//     wrapped whole in a form).
//     By words of class, id and aria-label: menu, sidebar, comment, share, social, related,
//     cookie, consent, banner, breadcrumb, newsletter, subscribe, promo, advert, author,
//     caption, ... make an element frame unless content words (article, content, main, post,
//     entry, story, body, text, ...) stand beside them, in which case, as with the weak words
//     (meta, date, byline, header, footer, widget, ...), it is frame only when short or made
//     mostly of links. Within one class name a frame word outweighs a content word
//     ("article-related"). An element whose text is mostly inside a content-marked element of
//     400 characters or more, that holds two thirds of the page's text, or that holds most of
//     the paragraphs of the page or of the article it is in, is a wrapper, never frame by its
//     words. The elements around the page's largest article, main or articleBody element are
//     never frame (a menu left unclosed nests the article inside it).
//  3. The article is chosen by scores: every block with 40 or more characters of its own text
//     gives points (more for commas and length, less for links) to its parent and, less and
//     less, to four more ancestors; an ancestor's score starts from its kind and words and is
//     scaled by its share of text outside links. The best scorer wins; an ancestor holding
//     three of the five best wins over them; a parent scoring higher than its child wins. An
//     enclosing article, main or itemprop="articleBody" element with few links replaces the
//     choice. Siblings that score close, or paragraphs of prose, join it (an article split
//     over several containers), and so do blocks of plain prose (80 characters of their own,
//     no link) anywhere before it ends: a lead or an intro set apart from the body. With no
//     scoring block the body is the article.
//     When the frame rules leave almost nothing, the choice is made again with only the sure
//     frame gone (hidden and embedded elements, nav, frame roles, strong words alone); a choice
//     made only of a footer (and on the second choice of a header, or of a copyright line or
//     notice by its words) of under 500 characters gives "".
//     Elements hidden only by a class name (hidden, hide) or the hidden attribute, inside the
//     article or a region's item and not made of links, are content: closed tabs, accordions.
//  4. Repeated regions: element siblings of one shape (tag and class names without digits;
//     sections and articles by tag) are items: three or more, with some text each, none
//     holding half of it, counted without the sure frame. The page's largest such region
//     joins the article, in page order, when it holds twice the article's text: the cards of
//     a listing, the posts of a thread, the sections of a service page. Inside the items only
//     the sure frame, forms and short or link-made parts under frame words go; link lists
//     stay. Items made mostly of links (an index, a catalogue) need three times the article's
//     text, five items, no frame around them, and the page's article or main element around
//     them where it has one. Items under frame words (posts named comments or replies) need
//     half the page and an article chosen among them: a thread, not an article's comments.
//     Elements that hold half the page are layout wrappers, never frame for this rule.
//  5. The article is written one line per block (paragraphs, headings, list items, quotes,
//     table cells, pre lines, each br), blocks made mostly of links left out, and then short
//     lines dropped that are dates or times, or that stand between two left-out blocks, last
//     before one, or before one as a caption (a few words, no sentence's end). Soft hyphens
//     go from a page in code page 1251.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// How the page's bytes map to characters: code page 1251 for a page recoded to it, UTF-8 for
// a page converted to it, ISO-8859-1 otherwise, so that every byte maps to one character and
// back and a page in any other encoding comes out as its own bytes. A character the mapping
// cannot hold (only an entity can give one) is written as a decimal character reference,
// "&#20013;".
enum class PageBytes { kLatin1, kCp1251, kUtf8 };

namespace main_text {
class ParseListener;
}

// The main text of `page` (the whole HTTP response; its head, up to the first CR LF CR LF, is
// not part of the document): one line per block, each followed by CR LF; "" when nothing is
// left. Entities are decoded; runs of white space fold to one blank. Any bytes give a text
// or "": the parse stops at 5000 nested elements, or once end tags that close nothing have
// cost more than the page's size allows.
//   "H: v\r\n\r\n<nav><a href=/>Home</a></nav><p>Our river, in spring, floods the old mill's
//    yard.</p>" -> "Our river, in spring, floods the old mill's yard.\r\n"
//   "<p>caf&eacute; &#x4E2D;</p>", kLatin1 -> "caf\xE9 &#20013;\r\n"
//   "<nav><a href=/>Home</a></nav>" -> ""
// A `listener` sees the page's parse as it goes (main_text_tree.h), so a reader of other facts
// of the page needs no parse of its own.
[[nodiscard]] std::string ExtractMainText(std::string_view page, PageBytes charset,
                                          main_text::ParseListener* listener = nullptr);

// The same main text, the same words, written as Markdown (CommonMark, tables as GitHub's
// pipe tables), each line followed by LF. Headings with their levels, paragraphs one blank
// line apart, ordered and unordered lists with their nesting, block quotes, pre as fenced
// code (its language from a "language-x" or "lang-x" class), emphasis and inline code,
// links as [text](address) resolved against `address` (the page's own; "" leaves them as
// written), images left out. A table of plain cells is a pipe table, its first row the
// header; one with merged cells or a table inside is written one line per row, its cells
// " | " apart; one that lays out a page (a heading, pre or quote in a cell, or a single
// cell) is written as its content. Characters that Markdown would read as its signs are
// escaped; a numeric character reference is left to stand for its character.
//   "<h2>Mill</h2><p>The <em>old</em> <a href=/m>mill</a></p>", "http://a.example/x/"
//     -> "## Mill\n\nThe *old* [mill](http://a.example/m)\n"
[[nodiscard]] std::string ExtractMainMarkdown(std::string_view page, PageBytes charset,
                                              std::string_view address,
                                              main_text::ParseListener* listener = nullptr);

}  // namespace korvane
