// ExtractMainText: frame by element, words and density, the article's choice, the byte mapping.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/main_text.h"

namespace korvane {
namespace {

// Article prose: a paragraph that scores on its own.
const std::string kProse =
    "The river rises in the hills, runs past the old mill, and reaches the sea in spring.";
const std::string kLine = kProse + "\r\n";
const std::string kLinks =
    "<ul><li><a href=/a>Home page</a></li><li><a href=/b>All the news</a></li>"
    "<li><a href=/c>Contact us</a></li></ul>";

struct Case {
  const char* rule;
  std::string body;  // inside <body>
  std::string text;
};

TEST(MainText, KeepsTheArticleAndDropsItsFrame) {
  const std::string p = "<p>" + kProse + "</p>";
  const std::vector<Case> cases = {
      {"frame elements",
       "<nav>" + kLinks + "</nav><aside><p>" + kProse +
           " aside</p></aside><form>Search the site here</form><menu>"
           "menu</menu><dialog>dialog</dialog><noscript>enable js</noscript>"
           "<svg><text>svg</text></svg>" +
           p,
       kLine},
      {"header and footer outside the article only",
       "<header>Site name</header><article><header><h1>Title</h1></header>" + p +
           "</article><footer>Imprint and all rights reserved</footer>",
       "Title\r\n" + kLine},
      {"frame words",
       "<div class=\"sidebar\"><p>" + kProse +
           " side</p></div><div id=share-box>"
           "Share on every network you know</div><div role=navigation>Go</div>" +
           p,
       kLine},
      {"content words protect a wrapper named after its sidebar",
       "<div class=\"layout has-sidebar\"><div class=entry-content>" + p + p + p + p + p + p + p +
           "</div></div><div>" + p + p + p + p + "</div>",
       kLine + kLine + kLine + kLine + kLine + kLine + kLine},
      {"weak words only when short",
       "<div class=post-meta>By the author, on Monday</div>" + p + "<div class=meta>" + kProse +
           kProse + kProse + "</div>",
       kLine + kProse + kProse + kProse + "\r\n"},
      {"hidden elements",
       "<div hidden>hidden one</div><p aria-hidden=true>hidden two</p>"
       "<p style=\"DISPLAY: none\">hidden three</p><div class=\"box Hidden\">hidden four</div>" +
           p,
       kLine},
      {"link-dense blocks and a short line between them",
       "<article>" + p + kLinks + "<p>Tags</p>" + kLinks + p + "</article>", kLine + kLine},
      {"plain prose before the article joins it, prose after it does not",
       "<div><div><p>" + kProse + " " + kProse + "</p></div></div><article>" + p + p + p + p + p +
           p + "</article><div><div><p>" + kProse + " " + kProse + "</p></div></div>",
       kProse + " " + kLine + kLine + kLine + kLine + kLine + kLine + kLine},
      {"a caption before a link list, not a sentence",
       "<article>" + p + "<h3>See also:</h3>" + kLinks + p + "</article>", kLine + kLine},
      {"date and time lines, not numbers",
       "<article><p>12.03.2021, 10:45</p>" + p + "<p>20:37</p><p>390 kcal, 0.5 GB/s</p></article>",
       kLine + "390 kcal, 0.5 GB/s\r\n"},
      {"split article", "<div><div class=a>" + p + "</div><div class=b>" + p + "</div></div>",
       kLine + kLine},
      {"no container", kProse + "<br>" + kProse, kLine + kLine},
      {"layout table", "<table><tr><td>" + kLinks + "</td><td>" + kProse + "</td></tr></table>",
       kLine},
      {"article hint over a busier block",
       "<div><p>" + kProse + ", one, two, three</p><p>" + kProse +
           ", four, five, six</p>"
           "<p>" +
           kProse + ", seven, eight</p></div><article><h2>Head</h2>" + p + "</article>",
       kProse + ", one, two, three\r\n" + kProse + ", four, five, six\r\n" + kProse +
           ", seven, eight\r\n"},
      {"lists, quotes, headings, pre and br",
       "<article><h2>Part one</h2>" + p +
           "<ul><li>first item</li><li>second</li></ul>"
           "<blockquote>a quote</blockquote><pre>x = 1\n  y = 2</pre>a<br>b</article>",
       "Part one\r\n" + kLine +
           "first item\r\nsecond\r\na quote\r\nx = 1\r\n  y = 2\r\na\r\nb\r\n"},
      {"white space folded, entities decoded",
       "<p>  " + kProse + " &amp;\n\t<b>more</b>  &quot;x&quot; &#65;&#x42; </p>",
       kProse + " & more \"x\" AB\r\n"},
      {"nothing left", "<nav>" + kLinks + "</nav>", ""},
  };
  for (const Case& c : cases) {
    const std::string page =
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><head>"
        "<title>t</title><script>var a = '<p>x</p>';</script></head><body>" +
        c.body + "</body></html>";
    EXPECT_EQ(ExtractMainText(page, PageBytes::kLatin1), c.text) << c.rule;
  }
  EXPECT_EQ(ExtractMainText("", PageBytes::kCp1251), "");
}

TEST(MainText, KeepsTheContentOfEveryKindOfPage) {
  std::string cards, posts, entries, lines, post_lines, entry_lines;
  for (const char n : std::string("1234")) {
    cards += std::string("<li class=\"card c") + n + "\"><h3><a href=/" + n + ">Blue mug " + n +
             "</a></h3><p>Stoneware, holds 350 ml</p></li>";
    lines += std::string("Blue mug ") + n + "\r\nStoneware, holds 350 ml\r\n";
    posts += "<div class=comment><p>" + kProse + "</p></div>";
    post_lines += kLine;
    entries += std::string("<li><a href=/e") + n + ">Entry number " + n + " of the list" +
               "</a></li><li><a href=/f" + n + ">Another entry " + n + " in the list</a></li>";
    entry_lines += std::string("Entry number ") + n + " of the list\r\nAnother entry " + n +
                   " in the list\r\n";
  }
  const std::string section = "<section><h2>Support</h2><p>Help by mail every day</p></section>";
  const std::vector<Case> cases = {
      {"cards", "<nav>" + kLinks + "</nav><ul class=grid>" + cards + "</ul>", lines},
      {"sections",
       "<section><h2>Plans</h2><p>Plans start small, grow with you, and stop when you say "
       "so.</p></section>" +
           section + section + section,
       "Plans\r\nPlans start small, grow with you, and stop when you say so.\r\n" +
           std::string("Support\r\nHelp by mail every day\r\n") +
           "Support\r\nHelp by mail every day\r\nSupport\r\nHelp by mail every day\r\n"},
      {"posts", "<nav>" + kLinks + "</nav><div class=comments>" + posts + "</div>", post_lines},
      {"an index", "<nav>" + kLinks + "</nav><main><ul>" + entries + "</ul></main>", entry_lines},
      {"a footer alone",
       "<footer><p>Copyright 2024, the river mill company of the old town.</p>"
       "</footer>",
       ""},
      {"tabs",
       "<article><p>" + kProse +
           "</p><div class=tab hidden><p>Dishwasher safe, microwave safe, and it stacks well on a "
           "shelf.</p>"
           "</div><p style=\"display:none\">Gone</p></article><div hidden>Menu</div>",
       kLine + "Dishwasher safe, microwave safe, and it stacks well on a shelf.\r\n"},
  };
  for (const Case& c : cases) {
    const std::string page = "H: v\r\n\r\n<html><body>" + c.body + "</body></html>";
    EXPECT_EQ(ExtractMainText(page, PageBytes::kLatin1), c.text) << c.rule;
  }
}

TEST(MainText, EveryByteOfATextNodeMapsBackToItself) {
  std::string bytes;
  for (int c = 0x21; c <= 0xFF; ++c) bytes += static_cast<char>(c);
  std::string escaped;
  for (const char c : bytes) escaped += c == '<' ? "&lt;" : c == '&' ? "&amp;" : std::string(1, c);
  const std::string page = "H: v\r\n\r\n<p>" + escaped + " &#x4E2D; &eacute;</p>";
  EXPECT_EQ(ExtractMainText(page, PageBytes::kLatin1), bytes + " &#20013; \xE9\r\n");
  // Code page 1251 has no U+00E9; its U+00A0 is a blank, folded with the next one, and its
  // soft hyphen 0xAD goes.
  std::string folded = bytes;
  folded.erase(0xAD - 0x21, 1);
  folded.erase(0xA0 - 0x21, 1);
  folded.insert(0xA0 - 0x21, " ");
  EXPECT_EQ(ExtractMainText(page, PageBytes::kCp1251), folded + " &#20013; &#233;\r\n");
  // Bytes that take three in UTF-8 (0x85 is an ellipsis) do not cut the page short.
  const std::string dots(3000, '\x85');
  EXPECT_EQ(
      ExtractMainText("H: v\r\n\r\n<p>" + dots + "</p><p>" + kProse + "</p>", PageBytes::kCp1251),
      dots + "\r\n" + kLine);
}

}  // namespace
}  // namespace korvane
