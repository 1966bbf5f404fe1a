// What a page says about itself: its title, author, dates, description, site and language,
// read from its mark-up while the page is parsed.
//
// Each field is taken from the most trusted source that gives it: JSON-LD (schema.org
// articles, products and web pages, @graph included), then OpenGraph, then Dublin Core and
// the other <meta> names, then microdata (itemprop), then elements classed as the author's,
// and for the title the page's first h1 and last its <title> with the site's name taken off.
// What the page shows beside its headline (the first h1) weighs more than metadata: a byline
// there names the writer, where metadata often names the publisher; a date shown there
// dates the page unless it is the day of its last change, or the page shows its metadata's
// date elsewhere. Bylines and <time> elements elsewhere most often belong to teasers,
// comments and lists, and are not read. Dates come out in ISO 8601; a date that names no
// real day of the years 1900-2199 is left out. The language is told from the saved text
// (CLD2), the page's lang attribute as a hint and the fallback.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text/main_text.h"
#include "text/main_text_tree.h"

namespace korvane {

// Every field is UTF-8, "" when the page gives none.
struct PageMeta {
  std::string canonical;  // the page's own address, absolute
  std::string title;
  std::string description;
  std::string author;     // several authors joined by ", "
  std::string published;  // "2019-05-03" or "2019-05-03T10:00:00+02:00"
  std::string modified;
  std::string language;  // ISO 639-1, "de"
  std::string site_name;
};

// Collects what the page says of itself from the events of a parse (the main text's, or one
// of its own through ReadPageMeta). Any bytes give a sound result: kept texts are bounded, a
// JSON-LD block that does not parse or nests too deep is passed over.
class PageMetaReader final : public main_text::ParseListener {
 public:
  // `bytes`: how the parse maps the page's bytes. For PageBytes::kLatin1 the parse sees the
  // page's own bytes; `to_utf8` then converts bytes of the page's charset to UTF-8, and null
  // stands for a page in UTF-8.
  explicit PageMetaReader(PageBytes bytes,
                          std::function<std::string(std::string_view)> to_utf8 = nullptr);

  void StartElement(std::string_view name, const char* const* attributes) override;
  void EndElement(std::string_view name) override;
  void Characters(std::string_view text) override;
  void ScriptText(std::string_view text) override;

  // The fields, sources weighed. `url` is the page's address, against which relative ones are
  // resolved; `text` is the saved text in UTF-8, the language is told from it.
  [[nodiscard]] PageMeta Result(std::string_view url, std::string_view text) const;

  // `bytes` of the parsed page (a saved text made from it) in UTF-8, invalid sequences as "?".
  [[nodiscard]] std::string ToUtf8(std::string_view bytes) const;

  // How the parse it listens to maps the page's bytes.
  [[nodiscard]] PageBytes Bytes() const { return bytes_; }
  // Whether it has heard a parse: an element has started.
  [[nodiscard]] bool Listened() const { return listened_; }

  // A value a source gives for a field (key): its source's rank, lower for a more trusted one.
  struct Fact {
    std::string key;
    std::string value;
    int source;
  };

 private:
  // An element whose text is read for a field, until the element ends.
  struct Capture {
    std::string key;
    int source;
    size_t depth;
    std::string text;
  };
  void Keep(std::string key, std::string value, int source);
  void Open(std::string key, int source);
  // A run of text between two block elements has ended: a byline, or a date shown.
  void EndSegment();

  PageBytes bytes_;
  std::function<std::string(std::string_view)> to_utf8_;
  std::vector<Fact> facts_;
  std::vector<std::string> json_ld_;  // JSON-LD blocks as written
  std::vector<Capture> captures_;     // elements whose text is being read
  std::vector<std::string> scopes_;   // itemprop of each open itemscope element, innermost last
  std::vector<size_t> scope_depths_;
  std::string script_;  // the JSON-LD block being read
  bool in_json_ld_ = false;
  size_t depth_ = 0;          // open elements
  size_t svg_depth_ = 0;      // open svg elements: their titles are no page title
  size_t article_depth_ = 0;  // open article and main elements
  // A value the page shows beside its headline (the first h1): the last one met within a
  // few lines before it, else the first one within a few lines after it.
  class BesideHeadline {
   public:
    void Met(std::string value, size_t line, size_t headline_line);
    void HeadlineAt(size_t line);
    [[nodiscard]] const std::string& Value() const { return value_; }

   private:
    size_t before_line_ = kNoLine;
    std::string before_;
    std::string value_;
  };
  static constexpr size_t kNoLine = static_cast<size_t>(-1);
  size_t lines_ = 0;                // lines of text outside the frame so far
  size_t headline_line_ = kNoLine;  // lines_ when the first h1 began
  BesideHeadline headline_date_;    // a date shown in a short line
  BesideHeadline headline_time_;    // a <time datetime>
  BesideHeadline headline_byline_;  // a byline's name
  size_t kept_bytes_ = 0;
  std::string lang_;                      // the html element's lang attribute
  std::string segment_;                   // the text since the last block element began or ended
  std::vector<std::string> shown_dates_;  // the days the page's text shows
  size_t frame_depth_ = 0;                // open head, nav, footer and aside elements
  bool author_next_ = false;              // the last text was a byline's label ("Written by")
  std::string author_field_;              // the meta name whose content is the author
  bool listened_ = false;
};

// What `answer` (a whole HTTP answer whose body is UTF-8; bytes that are not are read as
// ISO-8859-1) says of itself, with its main text (UTF-8) in `main_text` when given. `url` is
// the answer's address.
[[nodiscard]] PageMeta ReadPageMeta(std::string_view answer, std::string_view url,
                                    std::string* main_text = nullptr);

// A date or time as sources write it, in ISO 8601: "2019-05-03", or with its time
// "2019-05-03T10:00:00", and its offset when it has one ("Z", "+02:00"); "" for no date.
//   "2019-05-03T10:00:00.000+0200" -> "2019-05-03T10:00:00+02:00"
//   "May 3, 2019", "3 May 2019", "03.05.2019", "2019/05/03" -> "2019-05-03"
//   "Fri, 03 May 2019 10:00:00 GMT" -> "2019-05-03T10:00:00Z"
//   "20190", "yesterday", "2019-02-30" -> ""
[[nodiscard]] std::string NormalizeDate(std::string_view text);

// The days of the dates written in `text`, in order, as "2019-05-03".
[[nodiscard]] std::vector<std::string> DatesIn(std::string_view text);

// The ISO 639-1 code of the language of `text` (UTF-8), "" when it cannot be told; `hint`
// is a language tag the page gives ("en-GB"), used as a hint and where the text says nothing.
[[nodiscard]] std::string TextLanguage(std::string_view text, std::string_view hint);

}  // namespace korvane
