// What a page says of itself: each source, their conflicts, dates as sources write them, and
// pages that try to break the reader.
#include "text/page_meta.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace korvane {
namespace {

constexpr std::string_view kHead = "HTTP/1.0 200 OK\r\n\r\n";
constexpr std::string_view kBody =
    "<p>The river was high this spring, and the mill's yard flooded twice before April.</p>";

PageMeta Read(const std::string& head, const std::string& body = "") {
  return ReadPageMeta(std::string(kHead) + "<html><head>" + head + "</head><body>" + body +
                          std::string(kBody) + "</body></html>",
                      "http://site.test/news/a.html");
}

struct SourceCase {
  const char* name;
  std::string head;
  std::string body;
  PageMeta want;  // the fields checked: title, author, published, site_name, canonical
};

TEST(PageMeta, EachSourceGivesItsFieldsAndTheMoreTrustedOneWins) {
  const std::string ld = R"(<script type="application/ld+json">)";
  const SourceCase cases[] = {
      {"JSON-LD article, its author a node of the graph",
       ld + R"({"@graph":[{"@type":"WebSite","name":"River News"},{"@type":"NewsArticle",
         "headline":"Flood &amp; mill","author":{"@id":"#p"},"datePublished":"2019-05-03",
         "url":"/news/a"},{"@type":"Person","@id":"#p","name":"Jane Roe"}]}</script>)",
       "",
       {"http://site.test/news/a", "Flood & mill", "", "Jane Roe", "2019-05-03", "", "",
        "River News"}},
      {"JSON-LD over OpenGraph over meta names",
       ld + R"({"@type":"BlogPosting","author":[{"name":"A B"},{"name":"C D"}],
         "datePublished":"2020-01-02T03:04:05Z"}</script>)"
            R"(<meta property="article:published_time" content="2021-01-01">
         <meta name="author" content="Meta Name"><meta property="og:title" content="OG title">)",
       "",
       {"", "OG title", "", "A B and C D", "2020-01-02T03:04:05Z", "", "", ""}},
      {"OpenGraph over Dublin Core",
       R"(<meta name="DC.date.issued" content="2018-03-04"><meta property="og:site_name" content="Site">
         <meta property="article:published_time" content="2018-03-05"><meta name="dc.creator" content="By Ann Lee">
         <link rel="canonical" href="//site.test/c">)",
       "",
       {"http://site.test/c", "", "", "Ann Lee", "2018-03-05", "", "", "Site"}},
      {"microdata, the author's name inside its item",
       "",
       R"(<div itemscope itemtype="https://schema.org/Article"><span itemprop="headline">Micro headline
         </span><span itemprop="author" itemscope><span itemprop="name">Mia Do</span></span>
         <meta itemprop="datePublished" content="3 May 2019"></div>)",
       {"", "Micro headline", "", "Mia Do", "2019-05-03", "", "", ""}},
      {"a time element, a byline and the article's h1 over the <title>",
       "<title>Page title | Site</title>",
       R"(<article><h1>Shown headline</h1><p>By Sam Oak</p><time datetime="2017-07-08">8 July</time></article>)",
       {"", "Shown headline", "", "Sam Oak", "2017-07-08", "", "", ""}},
      {"the <title> without the site's name",
       R"(<title>Mill floods again | River News</title><meta property="og:site_name" content="River News">)",
       "",
       {"", "Mill floods again", "", "", "", "", "", "River News"}},
      {"an h1 whose words the <title> holds, padded for search engines, is the title",
       "<title>Headlamps for Camping &amp; Hiking | Shop</title>", "<h1>Headlamps</h1>",
       {"", "Headlamps", "", "", "", "", "", ""}},
      {"a heading's permalink sign is no part of it",
       "<title>Install \xE2\x80\x94 Docs 3.1</title>",
       "<h1>Install<a class=\"headerlink\" href=\"#install\">\xC2\xB6</a></h1>",
       {"", "Install", "", "", "", "", "", ""}},
      {"an h1 that says something else (a slogan) loses to the <title>",
       "<title>Business Text Messaging | Shop</title>", "<h1>Messaging that scales</h1>",
       {"", "Business Text Messaging", "", "", "", "", "", ""}},
      {"a link preview's labelled field names the author",
       R"(<meta name="twitter:label1" content="Reading time"><meta name="twitter:data1" content="4 min">
         <meta name="twitter:label2" content="Written by"><meta name="twitter:data2" content="Ann Lee">)",
       "", {"", "", "", "Ann Lee", "", "", "", ""}},
      {"the date shown by the headline beats metadata's that the page does not show",
       R"(<meta property="article:published_time" content="2019-01-01">)",
       "<h1>Mill</h1><p>March 3, 2020</p>",
       {"", "Mill", "", "", "2020-03-03", "", "", ""}},
      {"unless it is the day of the last change: the first publication stands",
       R"(<meta property="article:published_time" content="2019-01-01">
         <meta property="article:modified_time" content="2020-02-02">)",
       "<h1>Mill</h1><p>Updated February 2, 2020</p>",
       {"", "Mill", "", "", "2019-01-01", "", "", ""}},
      {"a byline by the headline over metadata's publisher; bylines and times elsewhere unread",
       ld + R"({"@type":"Article","author":{"@type":"Organization","name":"River News"}}</script>)",
       "<h1>Mill</h1><p>By Ann Lee</p><p>a</p><p>b</p><p>c</p><p>d</p><p>e</p><p>f</p><p>g</p>"
       "<p>h</p><p>i</p><p>j</p><p>By Bo Wu</p><time datetime=\"2011-01-01\">1</time>",
       {"", "Mill", "", "Ann Lee", "", "", "", ""}},
      {"broken JSON-LD repaired, a URL and a placeholder never an author",
       ld + "//"
            "<![CDATA[\n{\"@type\":\"Article\",\"headline\":\"Two\nlines\",\"author\":"
            "\"undefined\",}\n//]]></script>"
            R"(<meta property="article:author" content="https://social.test/jane">)",
       "",
       {"", "Two lines", "", "", "", "", "", ""}},
  };
  for (const SourceCase& c : cases) {
    SCOPED_TRACE(c.name);
    const PageMeta got = Read(c.head, c.body);
    EXPECT_EQ(got.title, c.want.title);
    EXPECT_EQ(got.author, c.want.author);
    EXPECT_EQ(got.published, c.want.published);
    EXPECT_EQ(got.site_name, c.want.site_name);
    EXPECT_EQ(got.canonical, c.want.canonical);
    EXPECT_EQ(got.language, "en");
  }
}

TEST(PageMeta, DatesAsSourcesWriteThemAndNonsense) {
  const std::pair<const char*, const char*> cases[] = {
      {"2019-05-03", "2019-05-03"},
      {"2019-05-03T10:00:00.000+0200", "2019-05-03T10:00:00+02:00"},
      {"2019-05-03 10:00", "2019-05-03T10:00:00"},
      {"Fri, 03 May 2019 10:00:00 GMT", "2019-05-03T10:00:00Z"},
      {"May 3rd, 2019 at 4:05 pm", "2019-05-03T16:05:00"},
      {"3. Mai 2019", "2019-05-03"},
      {"03.05.2019", "2019-05-03"},
      {"05/03/2019", "2019-05-03"},
      {"25/12/2019", "2019-12-25"},
      {"20190503", "2019-05-03"},
      {"1556877600", "2019-05-03T10:00:00Z"},
      {"Posted on 2019/05/03", "2019-05-03"},
      {"20190", ""},
      {"20190-05-03", ""},
      {"yesterday", ""},
      {"2019-02-29", ""},
      {"2024-02-29", "2024-02-29"},
      {"1899-12-31", ""},
      {"May 2019", ""},
      {"", ""},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(NormalizeDate(text), want) << text;
}

TEST(PageMeta, HostilePagesGiveASoundRecord) {
  const std::string ld = R"(<script type="application/ld+json">)";
  std::string deep = ld + R"({"@type":"Article","headline":"Deep","x":)";
  for (int i = 0; i < 10000; ++i) deep += "[";
  deep += "</script>";
  std::string huge = ld + R"({"@type":"Article","headline":"Huge","body":")" +
                     std::string(10 << 20, 'a') + "\"}</script>";
  const std::string long_title = "<title>" + std::string(1 << 20, 'T') + "</title>";
  const std::string not_utf8 = "<title>caf\xE9 \xFF\xFE</title>";
  for (const std::string& head : {deep, huge, long_title, not_utf8}) {
    const PageMeta meta = Read(head);
    EXPECT_LE(meta.title.size(), 2000u);
    // Whatever was read writes as JSON.
    EXPECT_NO_THROW((void)nlohmann::json(meta.title).dump());
  }
  EXPECT_EQ(Read(huge).title, "Huge");
  EXPECT_EQ(Read(not_utf8).title, "caf\xC3\xA9 \xC3\xBF\xC3\xBE");
}

}  // namespace
}  // namespace korvane
