// The check-box options in one table: command-line flag, control name and mirror member, so
// both front ends bind the same options the same way.
#pragma once

#include <atomic>
#include <string_view>

#include "crawl/options.h"

namespace korvane {

struct CheckOption {
  std::string_view flag;     // korvane-cli flag
  std::string_view control;  // the window control it mirrors
  std::atomic<bool> CrawlOptions::*member;
  bool flag_sets_to;  // the value the flag gives the option (false for --no-clean)
  std::string_view help;
};

// In the order of the main window's controls, then the template window's.
inline constexpr CheckOption kCheckOptions[] = {
    {"--ignore-whitelist", "CheckBox1", &CrawlOptions::ignore_whitelist, true,
     "admit every page without the whitelist"},
    {"--links-only", "CheckBox2", &CrawlOptions::links_only, true,
     "collect links only: no text, no result files"},
    {"--selective", "CheckBox3", &CrawlOptions::selective, true,
     "selective parsing: result text by the templates"},
    {"--apostrophes", "CheckBox4", &CrawlOptions::apostrophes, true,
     "apostrophes count as double quotes in links"},
    {"--template-pages", "CheckBox6", &CrawlOptions::template_pages_only, true,
     "admit only pages that match every template (whitelist ignored)"},
    {"--exclude-subdomains", "CheckBox7", &CrawlOptions::exclude_subdomains, true,
     "skip links to subdomains of the site"},
    {"--relative", "CheckBox8", &CrawlOptions::relative_links, true,
     "resolve relative links against the page's folder"},
    {"--proxy", "CheckBox10", &CrawlOptions::use_proxies, true,
     "send requests through the proxies of proxy.txt (the first goes direct)"},
    {"--markup", "Form2.CheckBox1", &CrawlOptions::markup, true,
     "keep block mark-up and head result files with the page's URL"},
    {"--keep-br", "Form2.CheckBox2", &CrawlOptions::keep_br, true, "keep <br> tags"},
    {"--no-clean", "Form2.CheckBox3", &CrawlOptions::elementary_clean, false,
     "keep blank lines in template output"},
};

}  // namespace korvane
