// The commands of korvane-cli, each returning the process exit status.
#pragma once

#include <string>

#include "base/error.h"
#include "settings/options.h"
#include "tools/tools.h"

namespace korvane::cli {

// The exit status of a crawl that fetched not a single page.
inline constexpr int kNothingFetched = 3;

// Runs one crawl in the current folder exactly as START does, with a note on a start address
// it cannot use as written before and a summary after it, on stderr. 0 when the run ended,
// kNothingFetched when it ended without fetching a page, 1 when it failed.
int RunCrawl(CrawlOptions& options);

// Prints what a crawl worker would write for a response equal to the file's bytes; `url`, the
// address it came from ("" for none), resolves the links of the Markdown form.
int PrintPlainText(const std::string& file, const std::string& url, CrawlOptions& options);
int PrintTemplateText(const std::string& file, CrawlOptions& options);
// Prints the pages.jsonl record of the response in the file, as one JSON object and a line
// break, without the keys only a crawl knows; `url` (UTF-8) is the address it came from.
int PrintMeta(const std::string& file, const std::string& url, CrawlOptions& options);

// Prints every link a worker for `url` would hand on for a response equal to the file's bytes.
int PrintLinks(const std::string& file, const std::string& url, CrawlOptions& options);

// The template window's test fetch of `url`; prints the path of the result file.
int RunTestFetch(const std::string& url, CrawlOptions& options);

// The folder tools: progress texts on stderr, the final text on stdout, 0 when the tool ran to
// its end. A tool's error (KorvaneError) passes to the caller.
int RunFilter(const FilterFields& fields);
int RunJoin(const JoinFields& fields);
int RunCleanFromTo(const CleanFields& fields);
int RunCleanWords(const CleanFields& fields);
int RunSplit(const SplitFields& fields);  // 1 with "Файлов нет!" on stderr when there is nothing
// Prints each group as "kept N.txt: removed A.txt, B.txt" on stdout, then the final text.
int RunDedupe(const DedupeFields& fields);

// An error's text for the terminal: code page 1251 text as UTF-8, a file name as it is.
[[nodiscard]] std::string ErrorToUtf8(const KorvaneError& error);

// Fills the mirror's site, blacklist, whitelist and templates from "settings/settings.txt",
// or with the defaults of a first start when the file is missing.
void LoadSettingsInto(CrawlOptions& options);

}  // namespace korvane::cli
