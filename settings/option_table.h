// The check-box options in one table: command-line flag, control name and mirror member, so
// both front ends bind the same options the same way.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/shown_text.h"
#include "settings/options.h"

namespace korvane {

// The window tab an extension's control sits on; kNone for the controls that are no extension.
enum class ExtensionTab { kNone, kNetwork, kText };

struct CheckOption {
  std::string_view flag;     // korvane-cli flag
  std::string_view control;  // the window control it mirrors
  std::atomic<bool> CrawlOptions::*member;
  bool flag_sets_to;  // the value the flag gives the option (false for --no-clean)
  std::string_view help;
  // The check box's caption (UTF-8) for the extensions, which the window places on their
  // tab; empty for the other controls, whose captions the window lays out itself. Marked
  // KORVANE_SHOWN, so that the English window finds its translation.
  std::string_view extension_caption;
  ExtensionTab tab = ExtensionTab::kNone;
  // The flag of the option this one works with only; the window greys its box out while that
  // option is off, and korvane-cli refuses it alone.
  std::string_view needs = "";
  // The flag of an option this one cannot be on with: the command line refuses both, and
  // in the window ticking either unticks the other.
  std::string_view excludes = {};
};

// In the order of the main window's controls, then the template window's.
inline constexpr CheckOption kCheckOptions[] = {
    {"--ignore-whitelist", "CheckBox1", &CrawlOptions::ignore_whitelist, true,
     "admit every page without the whitelist", ""},
    {"--links-only", "CheckBox2", &CrawlOptions::links_only, true,
     "collect links only: no text, no result files", ""},
    {"--selective", "CheckBox3", &CrawlOptions::selective, true,
     "selective parsing: result text by the templates", ""},
    {"--apostrophes", "CheckBox4", &CrawlOptions::apostrophes, true,
     "apostrophes count as double quotes in links", ""},
    {"--template-pages", "CheckBox6", &CrawlOptions::template_pages_only, true,
     "admit only pages that match every template (whitelist ignored)", ""},
    {"--exclude-subdomains", "CheckBox7", &CrawlOptions::exclude_subdomains, true,
     "skip links to subdomains of the site", ""},
    {"--relative", "CheckBox8", &CrawlOptions::relative_links, true,
     "resolve relative links against the page's folder", ""},
    {"--proxy", "CheckBox10", &CrawlOptions::use_proxies, true,
     "send requests through the proxies of proxy.txt (the first goes direct)", ""},
    {"--markup", "Form2.CheckBox1", &CrawlOptions::markup, true,
     "keep block mark-up and head result files with the page's URL", ""},
    {"--keep-br", "Form2.CheckBox2", &CrawlOptions::keep_br, true, "keep <br> tags", ""},
    {"--no-clean", "Form2.CheckBox3", &CrawlOptions::elementary_clean, false,
     "keep blank lines in template output", ""},
    // The extensions, on the "Сеть" and "Текст" tabs.
    {"--https", "NetCheckBox1", &CrawlOptions::https_ports, true,
     "crawl https:// addresses and hosts with a :port",
     KORVANE_SHOWN("core", "HTTPS и порты в адресах"), ExtensionTab::kNetwork},
    {"--insecure", "NetCheckBox2", &CrawlOptions::insecure_tls, true,
     "do not verify TLS certificates (your own test sites only)",
     KORVANE_SHOWN("core", "не проверять сертификаты"), ExtensionTab::kNetwork},
    {"--follow-redirects", "NetCheckBox3", &CrawlOptions::follow_redirects, true,
     "queue the Location of 301, 302, 303, 307 and 308 answers",
     KORVANE_SHOWN("core", "следовать перенаправлениям"), ExtensionTab::kNetwork},
    {"--recode", "NetCheckBox4", &CrawlOptions::recode_pages, true,
     "convert page text from its charset to code page 1251",
     KORVANE_SHOWN("core", "перекодировать страницы в cp1251"), ExtensionTab::kNetwork},
    {"--robots", "NetCheckBox5", &CrawlOptions::obey_robots, true, "obey the site's robots.txt",
     KORVANE_SHOWN("core", "соблюдать robots.txt"), ExtensionTab::kNetwork},
    {"--continue", "NetCheckBox6", &CrawlOptions::continue_run, true,
     "continue the last run from parsed_urls.txt and done_urls.txt",
     KORVANE_SHOWN("core", "продолжить прошлый обход"), ExtensionTab::kNetwork},
    {"--sitemaps", "NetCheckBox7", &CrawlOptions::read_sitemaps, true,
     "queue the addresses of the site's sitemaps at START",
     KORVANE_SHOWN("core", "читать sitemap.xml"), ExtensionTab::kNetwork},
    {"--compressed", "NetCheckBox8", &CrawlOptions::accept_compressed, true,
     "ask for gzip or deflate answers and inflate them",
     KORVANE_SHOWN("core", "принимать сжатые ответы"), ExtensionTab::kNetwork},
    {"--retry", "NetCheckBox9", &CrawlOptions::retry_busy, true,
     "wait and ask again when the server answers 429 or 503",
     KORVANE_SHOWN("core", "повторять при 429 и 503"), ExtensionTab::kNetwork},
    {"--standard-links", "NetCheckBox10", &CrawlOptions::standard_links, true,
     "read every link of the page and resolve it as a browser does (RFC 3986)",
     KORVANE_SHOWN("core", "ссылки как в браузере"), ExtensionTab::kNetwork},
    {"--main-text", "TextCheckBox1", &CrawlOptions::main_text, true,
     "save only the page's main text, without menus, headers and footers",
     KORVANE_SHOWN("core", "только основной текст"), ExtensionTab::kText},
    {"--skip-duplicates", "TextCheckBox2", &CrawlOptions::skip_duplicates, true,
     "do not save a text this run has saved already, nor a near copy of one",
     KORVANE_SHOWN("core", "не сохранять дубли текста"), ExtensionTab::kText},
    {"--report", "TextCheckBox3", &CrawlOptions::write_report, true,
     "write report/pages.csv and report/index.html about the run",
     KORVANE_SHOWN("core", "писать отчёт об обходе"), ExtensionTab::kText},
    {"--markdown", "TextCheckBox5", &CrawlOptions::markdown, true,
     "write the main text as Markdown: headings, lists, tables, code, links",
     KORVANE_SHOWN("core", "основной текст в Markdown"), ExtensionTab::kText, "--main-text"},
    {"--utf8", "TextCheckBox4", &CrawlOptions::utf8_text, true,
     "save every text in UTF-8, converted from the page's charset",
     KORVANE_SHOWN("core", "сохранять в UTF-8"), ExtensionTab::kText, "", "--recode"},
    {"--metadata", "TextCheckBox6", &CrawlOptions::write_metadata, true,
     "append a record of each saved page (address, title, author, dates, language) to "
     "pages.jsonl",
     KORVANE_SHOWN("core", "паспорт страницы: pages.jsonl"), ExtensionTab::kText},
};

// The row of `flag`, or null.
[[nodiscard]] constexpr const CheckOption* FindCheckOption(std::string_view flag) {
  for (const CheckOption& row : kCheckOptions) {
    if (row.flag == flag) return &row;
  }
  return nullptr;
}

// The first pair of options that are both on though one excludes the other, as "--a and --b",
// or "" when there is none.
[[nodiscard]] inline std::string ExcludedPair(const CrawlOptions& options) {
  for (const CheckOption& row : kCheckOptions) {
    const CheckOption* other = row.excludes.empty() ? nullptr : FindCheckOption(row.excludes);
    if (other != nullptr && (options.*row.member).load() == row.flag_sets_to &&
        (options.*other->member).load() == other->flag_sets_to) {
      return std::string(row.flag) + " and " + std::string(other->flag);
    }
  }
  return {};
}

// The whole-number fields of the extensions; 0 keeps the behaviour without the extension.
struct NumberOption {
  std::string_view flag;     // korvane-cli option, followed by its value
  std::string_view control;  // the window control it mirrors
  std::atomic<int64_t> CrawlOptions::*member;
  std::string_view help;
  std::string_view caption;  // the field's label (UTF-8), marked KORVANE_SHOWN
  ExtensionTab tab;
};

inline constexpr NumberOption kNumberOptions[] = {
    {"--delay", "NetSpinEdit1", &CrawlOptions::request_delay_ms,
     "start a worker at most once per MS milliseconds",
     KORVANE_SHOWN("core", "пауза между запросами, мс"), ExtensionTab::kNetwork},
    {"--max-pages", "NetSpinEdit2", &CrawlOptions::max_pages,
     "stop dispatching after N pages, as STOP does", KORVANE_SHOWN("core", "не больше страниц"),
     ExtensionTab::kNetwork},
};

}  // namespace korvane
