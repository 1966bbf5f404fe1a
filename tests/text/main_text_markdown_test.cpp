// ExtractMainMarkdown: one case per Markdown construct, after a paragraph that wins the choice.
#include <gtest/gtest.h>

#include <string>

#include "text/main_text.h"
#include "text/main_text_markdown.h"

namespace korvane {
namespace {

const std::string kProse =
    "The river rises in the hills, runs past the old mill, and reaches the sea in spring.";

TEST(MainMarkdown, WritesEachConstructAsCommonMark) {
  const struct {
    const char* html;
    const char* markdown;
  } cases[] = {
      {"<h2>Mill</h2><h4>Wheel</h4>", "## Mill\n\n#### Wheel\n"},
      {"<ul><li>one<ol><li>two</li><li>three</li></ol></li><li>four</li></ul>",
       "- one\n  1. two\n  2. three\n- four\n"},
      {"<blockquote><p>said</p><p>twice</p></blockquote>", "> said\n>\n> twice\n"},
      {"<pre><code class=\"lang-c\">a\n\n```b</code></pre>", "````c\na\n\n```b\n````\n"},
      {"<table><tr><th>a|b</th><th>c</th></tr><tr><td>d</td></tr></table>",
       "| a\\|b | c |\n| --- | --- |\n| d |  |\n"},
      {"<table><tr><td colspan=2>x</td></tr><tr><td>y</td><td>z</td></tr></table>", "x\\\ny | z\n"},
      {"<table><tr><td><h3>Laid out</h3><p>text</p></td></tr></table>", "### Laid out\n\ntext\n"},
      {"<p>An <em>old</em> <b>mill</b>, <code>a`b</code>, <a href=\"../m?q\">the (mill)</a>"
       "<img src=i.png></p>",
       "An *old* **mill**, ``a`b``, [the (mill)](http://h.example/m?q)\n"},
      {"<p>1. *not* [a] # &lt;b&gt; &amp;amp; snake_case _x_ ~y</p>",
       "1\\. \\*not\\* \\[a\\] \\# \\<b> \\&amp; snake_case \\_x\\_ \\~y\n"},
      {"<p><b>\"quoted\"</b>s and<br>- a second line</p>",
       "\"quoted\"s and\\\n\\- a second line\n"},
      {"<p>12.03.2021</p>", ""},  // dropped from the plain text, so from this too
  };
  for (const auto& c : cases) {
    const std::string page = "H: v\r\n\r\n<body><article><p>" + kProse + "</p>" + c.html +
                             "</article><footer>Imprint</footer></body>";
    const std::string want = *c.markdown == 0 ? kProse + "\n" : kProse + "\n\n" + c.markdown;
    EXPECT_EQ(ExtractMainMarkdown(page, PageBytes::kLatin1, "http://h.example/x/y"), want)
        << c.html;
  }
}

TEST(MainMarkdown, ResolvesLinksAsABrowserDoes) {
  const std::string base = "http://h.example/x/y/z?q#f";
  for (const auto& [reference, address] : {std::pair{"../b?q", "http://h.example/x/b?q"},
                                           {"/./a/../c", "http://h.example/c"},
                                           {"//o.example/p", "http://o.example/p"},
                                           {"?r", "http://h.example/x/y/z?r"},
                                           {"#g", "http://h.example/x/y/z?q#g"},
                                           {" mailto:a@b ", "mailto:a@b"}}) {
    EXPECT_EQ(main_text::ResolveAddress(base, reference), address) << reference;
  }
  EXPECT_EQ(main_text::ResolveAddress("", "a/b"), "a/b");
  EXPECT_EQ(main_text::ResolveAddress("http://h.example", "a"), "http://h.example/a");
}

}  // namespace
}  // namespace korvane
