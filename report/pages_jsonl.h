// pages.jsonl: one JSON object per line for every page that got a result file, and for every
// page whose text repeated a saved one and so got none, so that tools which take a site's text
// take its address, title, author, dates and language with it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/append_file.h"
#include "report/page_record.h"
#include "text/page_meta.h"

namespace korvane {

// The file in the working folder.
inline constexpr std::string_view kPagesJsonlFile = "pages.jsonl";

// What the record says of a page beyond its crawl: what the page says of itself and what its
// saved text is.
struct PagePassport {
  PageMeta meta;
  int64_t bytes = 0;   // of the result file
  int64_t words = 0;   // blank-separated words of the saved text
  std::string sha256;  // of the result file's bytes, in hex
};

// The passport of a saved text `saved` (the result file's bytes, or those it would have had
// when the text repeated a saved one) and the page's `meta`.
[[nodiscard]] PagePassport MakePassport(PageMeta meta, std::string_view saved);

// One record as a JSON object (UTF-8, no line break), its keys in this order: url, final_url,
// canonical, title, description, author, published, modified, language, site_name, status,
// fetched_at, result_file, bytes, words, sha256, duplicate_of, found_on (the first page that
// linked this one; null for the start address). An empty field is null: result_file for a
// page whose text repeated the saved text number duplicate_of. final_url equals url, as a
// redirect is queued as a page of its own: each text comes from the address it was fetched at.
// With no `record` (a page read outside a crawl) the keys only a crawl knows (final_url,
// status, fetched_at, result_file, duplicate_of, found_on) are left out, and `url` is null when
// empty. `url` is as crawled: code page 1251, or UTF-8 where its bytes are.
[[nodiscard]] std::string PassportJson(std::string_view url, const PagePassport& passport,
                                       const PageRecord* record);

// The ISO 8601 form of `ms` since 1970, UTC: "2026-12-10T03:38:35Z".
[[nodiscard]] std::string IsoTime(int64_t ms);

}  // namespace korvane
