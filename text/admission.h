// Whether a fetched page's text goes into a result file.
#pragma once

#include <string_view>

#include "base/text_lines.h"

namespace korvane {

// The options that decide admission, read by the caller at the moment of the test.
struct AdmissionOptions {
  bool template_pages_only = false;  // admit only pages that match every template line
  bool ignore_whitelist = false;     // admit every page (unless template_pages_only)
  const Lines* whitelist = nullptr;  // URL fragments; the URL must contain one of them
  const Lines* template_lines = nullptr;
};

// Template mode: PageMatchesTemplates (the whitelist options are not looked at). Otherwise,
// ignoring the whitelist: yes. Otherwise yes when `url` contains a non-empty whitelist line
// (case-sensitive, untrimmed); an empty or missing whitelist admits nothing, and missing
// template lines count as none.
//   whitelist {"/news/"}: "http://a.ru/news/1" -> yes;  "http://a.ru/NEWS/1" -> no
[[nodiscard]] bool AdmitPage(std::string_view url, std::string_view page,
                             const AdmissionOptions& options);

// Yes when, for every template line, both its start text and its stop text (as
// TemplateBlock reads them, "Error" and "Zero" included) occur in `page`. No lines: yes.
[[nodiscard]] bool PageMatchesTemplates(std::string_view page, const Lines& template_lines);

}  // namespace korvane
